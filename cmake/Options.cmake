option(LM_WERROR "Treat compiler warnings as errors" OFF)
option(LM_TESTS "Build the test suite" ON)
option(LM_BENCH "Build the benchmarks" ON)
option(LM_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
option(LM_GUI "Build the WebKitGTK program and its GUI tests" ON)
set(LM_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")

# Device code asserts that it never blocks on the window thread. On in debug
# builds and wherever the tests are built, since the GUI tests run the program
# built beside them; the package is built without tests and leaves it off.
if(CMAKE_BUILD_TYPE STREQUAL "Debug" OR LM_TESTS)
  set(lm_thread_checks_default ON)
else()
  set(lm_thread_checks_default OFF)
endif()
option(LM_THREAD_CHECKS "Abort when device I/O runs on the window thread" ${lm_thread_checks_default})

add_compile_options(-Wall -Wextra)
# Options and records are aggregates whose later members have defaults;
# leaving those out of a brace list is the intended use, not a slip.
add_compile_options(-Wno-missing-field-initializers)
# In a unity batch a source reads as a header, so a test fixture in an
# unnamed namespace would be a warning there and nowhere else.
if(CMAKE_UNITY_BUILD)
  add_compile_options(-Wno-subobject-linkage)
endif()
if(LM_WERROR)
  add_compile_options(-Werror)
endif()

if(LM_SANITIZE)
  add_compile_options(-fsanitize=${LM_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LM_SANITIZE})
endif()

if(LM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "LM_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  # Libraries get coverage instrumentation; each fuzz target links the fuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# lm_fuzz_target(name source... LIBS lib...)
function(lm_fuzz_target name)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${F_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# Folders (relative to the source root) to leave out of the build, e.g.
# -DLM_SKIP_DIRS="cef/webkit;tests/cef/webkit" while one part is being reworked.
set(LM_SKIP_DIRS "" CACHE STRING "Source folders to leave out")

# Adds a component folder unless it is skipped. A listed folder without a
# CMakeLists.txt is an error, never silently left out.
function(lm_add_component dir)
  get_filename_component(abs ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
  if(rel IN_LIST LM_SKIP_DIRS)
    return()
  endif()
  if(NOT EXISTS ${abs}/CMakeLists.txt)
    message(FATAL_ERROR "component folder ${rel} is listed but has no CMakeLists.txt")
  endif()
  add_subdirectory(${abs})
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt.
function(lm_add_all_subfolders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child IN LISTS children)
    if(EXISTS ${child}/CMakeLists.txt)
      lm_add_component(${child})
    endif()
  endforeach()
endfunction()
