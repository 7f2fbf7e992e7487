# tolmek_add_library(NAME DIR [DEPS ...])
# One static library per subsystem folder. Sources are the .cpp files of DIR
# (not its sub-folders); headers are included as "dir/name.h" from the root.
# DEPS are the libraries directly below it that it calls; with
# TOLMEK_LINK_CHECK the library is also linked on its own against exactly
# those, so a call to anything above it (or to a library it does not name)
# fails the build with an undefined reference.
function(tolmek_add_library NAME DIR)
  file(GLOB _srcs CONFIGURE_DEPENDS "${DIR}/*.cpp")
  if(_srcs)
    add_library(${NAME} STATIC ${_srcs})
    target_include_directories(${NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${NAME} PUBLIC ${ARGN})
    if(TOLMEK_LINK_CHECK)
      tolmek_check_links(${NAME} ${ARGN})
    endif()
  else()
    add_library(${NAME} INTERFACE)
    target_include_directories(${NAME} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${NAME} INTERFACE ${ARGN})
  endif()
endfunction()

# tolmek_check_links(NAME [DEPS ...])
# A shared object made of every object file of NAME and linked with
# --no-undefined against DEPS only: it links when NAME needs nothing beyond
# the libraries it names. The objects are those of the static library, so
# nothing is compiled twice.
function(tolmek_check_links NAME)
  add_library(${NAME}_links SHARED $<TARGET_OBJECTS:${NAME}>)
  target_link_libraries(${NAME}_links PRIVATE ${ARGN})
  target_link_options(${NAME}_links PRIVATE -Wl,--no-undefined)
  set_target_properties(${NAME}_links PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/link-check)
  add_dependencies(tolmek_link_check ${NAME}_links)
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
