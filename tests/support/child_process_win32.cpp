// Child processes on Windows: CreateProcessA with pipes for the three
// standard handles. Signals do not exist here; a requested one is never
// sent (the tests that send one run on POSIX only).
#include "tests/support/child_process.h"

#include <windows.h>

#include <cstring>
#include <thread>

namespace testsupport {
namespace {

// One argument quoted the way the C runtime splits a command line: inside
// quotes, backslashes are literal unless they precede a quote.
std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

// This process's environment with the given "NAME=value" settings added or
// replaced, as the NUL-separated block CreateProcessA takes.
std::string EnvironmentBlock(const std::vector<std::string>& settings) {
    std::vector<std::string> variables;
    if (char* current = GetEnvironmentStringsA()) {
        for (const char* entry = current; *entry != '\0'; entry += std::strlen(entry) + 1) {
            variables.emplace_back(entry);
        }
        FreeEnvironmentStringsA(current);
    }
    for (const std::string& setting : settings) {
        const std::string name = setting.substr(0, setting.find('=') + 1);
        std::erase_if(variables, [&](const std::string& v) {
            return _strnicmp(v.c_str(), name.c_str(), name.size()) == 0;
        });
        variables.push_back(setting);
    }
    std::string block;
    for (const std::string& variable : variables)
        block += variable + '\0';
    return block + '\0';
}

void ReadAll(HANDLE pipe, std::string* out) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        out->append(buffer, n);
}

}  // namespace

ChildResult RunChild(const ChildOptions& options) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
    if (!CreatePipe(&in_read, &in_write, &inherit, 0)) return result;
    CreatePipe(&out_read, &out_write, &inherit, 0);
    CreatePipe(&err_read, &err_write, &inherit, 0);
    // The parent's ends stay in the parent.
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

    std::string command_line = QuoteArgument(options.program);
    for (const std::string& argument : options.args) {
        command_line += ' ';
        command_line += QuoteArgument(argument);
    }
    std::string environment = EnvironmentBlock(options.env);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(
        options.program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
        options.cwd.empty() ? nullptr : options.cwd.c_str(), &startup, &process);
    CloseHandle(in_read);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (!started) {
        CloseHandle(in_write);
        CloseHandle(out_read);
        CloseHandle(err_read);
        return result;
    }
    if (!options.stdin_data.empty()) {
        DWORD written = 0;
        WriteFile(in_write, options.stdin_data.data(),
                  static_cast<DWORD>(options.stdin_data.size()), &written, nullptr);
    }
    CloseHandle(in_write);

    std::thread out_reader(ReadAll, out_read, &result.out);
    std::thread err_reader(ReadAll, err_read, &result.err);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(options.timeout_ms)) ==
        WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 259);
        WaitForSingleObject(process.hProcess, INFINITE);
        result.timed_out = true;
    }
    out_reader.join();
    err_reader.join();
    CloseHandle(out_read);
    CloseHandle(err_read);
    DWORD code = 0;
    if (!result.timed_out && GetExitCodeProcess(process.hProcess, &code))
        result.exit_code = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

}  // namespace testsupport
