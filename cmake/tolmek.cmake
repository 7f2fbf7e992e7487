# tolmek_add_library(NAME DIR [DEPS ...])
# One static library per subsystem folder. Sources are the .cpp files of DIR
# (not its sub-folders); headers are included as "dir/name.h" from the root.
function(tolmek_add_library NAME DIR)
  file(GLOB _srcs CONFIGURE_DEPENDS "${DIR}/*.cpp")
  if(_srcs)
    add_library(${NAME} STATIC ${_srcs})
    target_include_directories(${NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${NAME} PUBLIC ${ARGN})
  else()
    add_library(${NAME} INTERFACE)
    target_include_directories(${NAME} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${NAME} INTERFACE ${ARGN})
  endif()
endfunction()

# tolmek_drop_other_backend(LIST_VAR)
# Removes from a list of sources the files of the other system's backend:
# name_win32.cpp and name_win32_test.cpp on POSIX, the _posix ones on Windows.
function(tolmek_drop_other_backend LIST_VAR)
  if(WIN32)
    set(_other posix)
  else()
    set(_other win32)
  endif()
  set(_list ${${LIST_VAR}})
  list(FILTER _list EXCLUDE REGEX "_${_other}(_test)?\\.cpp$")
  set(${LIST_VAR} ${_list} PARENT_SCOPE)
endfunction()

# tolmek_add_test_dir(NAME DIR [DEPS ...])
# One GoogleTest executable from the *.cpp files of DIR, its cases
# registered with CTest one by one.
function(tolmek_add_test_dir NAME DIR)
  file(GLOB _srcs CONFIGURE_DEPENDS "${DIR}/*.cpp")
  tolmek_drop_other_backend(_srcs)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${NAME} ${_srcs})
  target_link_libraries(${NAME} PRIVATE tolmek_test_support GTest::gtest GTest::gtest_main ${ARGN})
  gtest_discover_tests(${NAME} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${NAME}")
endfunction()
