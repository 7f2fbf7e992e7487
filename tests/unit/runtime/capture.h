// Collects the lines reported through the file side's error callback and the
// converter library's base error hook while an object lives.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "runtime/nuv_base.h"
#include "runtime/nuverr.h"

namespace rttest {

class MessageLog {
 public:
  void Add(const char* text) {
    std::lock_guard<std::mutex> hold(mutex_);
    lines_.emplace_back(text);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return lines_;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

inline MessageLog& ReportLog() {
  static MessageLog log;
  return log;
}

// NUVERR_Report lines; the user value is checked to travel unchanged.
class ReportCapture {
 public:
  static constexpr std::int32_t kUserValue = 0x1234;
  ReportCapture() {
    ReportLog().Clear();
    NUVERR_SetCallback(&Collect, kUserValue);
  }
  ~ReportCapture() { NUVERR_SetCallback(nullptr, 0); }
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;
  std::vector<std::string> Lines() const { return ReportLog().Lines(); }
  void Clear() { ReportLog().Clear(); }

 private:
  static int Collect(std::int32_t user_value, const char* text) {
    ReportLog().Add(user_value == kUserValue ? text : "<wrong user value>");
    return 7;
  }
};

inline MessageLog& HookLog() {
  static MessageLog log;
  return log;
}

// NUVBASE_ReportError / NUVBASE_ReportErrorEx lines.
class HookCapture {
 public:
  HookCapture() {
    HookLog().Clear();
    NUVBASE_SetCallback(&Collect);
  }
  ~HookCapture() {
    NUVBASE_SetCallback(nullptr);
    NUVBASE_SetWarningSuppression(0);
  }
  HookCapture(const HookCapture&) = delete;
  HookCapture& operator=(const HookCapture&) = delete;
  std::vector<std::string> Lines() const { return HookLog().Lines(); }
  void Clear() { HookLog().Clear(); }

 private:
  static std::int32_t Collect(const char* text, std::int32_t a, std::int32_t b, std::int32_t c) {
    std::string line(text);
    if (a != 0 || b != 0 || c != 0) {
      line += " [" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "]";
    }
    HookLog().Add(line.c_str());
    return 5;
  }
};

using Lines = std::vector<std::string>;

}  // namespace rttest
