# Settings shared by every target of the project.

# Text is Windows-1251 everywhere: sources are UTF-8 and the compiler turns
# narrow literals into CP1251 bytes, natively as well as for Windows, so the
# portable tests check the very bytes the program uses.
set(NS_COMPILE_OPTIONS -Wall -Wextra -Werror -finput-charset=UTF-8 -fexec-charset=CP1251)

if(WIN32)
  # Windows headers: the A functions, no min/max macros, Windows 7 API level.
  set(NS_COMPILE_DEFINITIONS WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # A built .exe must run with nothing beside it: the C++ runtime, libgcc and
  # winpthread are linked in.
  set(NS_LINK_OPTIONS -static -static-libgcc -static-libstdc++)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine-run)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit Windows starts threads on stacks aligned to 4 bytes only, while
    # SSE code keeps 16-byte values on the stack: realign where it is needed,
    # or the CRC of a dump packed on the worker thread faults.
    list(APPEND NS_COMPILE_OPTIONS -mincoming-stack-boundary=2)
  endif()
else()
  set(NS_COMPILE_DEFINITIONS)
  set(NS_LINK_OPTIONS)
  if(NS_SANITIZE)
    list(APPEND NS_COMPILE_OPTIONS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    list(APPEND NS_LINK_OPTIONS -fsanitize=address,undefined)
  endif()
endif()

# Applies the project's flags to a target of its own (not to GoogleTest).
function(ns_target_defaults target)
  target_compile_options(${target} PRIVATE ${NS_COMPILE_OPTIONS})
  target_compile_definitions(${target} PRIVATE ${NS_COMPILE_DEFINITIONS})
  target_link_options(${target} PRIVATE ${NS_LINK_OPTIONS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

# ns_add_library(name [PORTABLE files...] [WINDOWS files...] [LIBS libs...]
#                [WINDOWS_LIBS libs...])
# One library per source folder. Portable files are built everywhere, Windows
# files only in the Windows builds. A folder with nothing to build here (the
# Win32 wrappers in the native build) gives an interface library that only
# passes its dependencies on, so callers link the same names everywhere.
function(ns_add_library name)
  cmake_parse_arguments(ARG "" "" "PORTABLE;WINDOWS;LIBS;WINDOWS_LIBS" ${ARGN})
  set(sources ${ARG_PORTABLE})
  set(libs ${ARG_LIBS})
  if(WIN32)
    list(APPEND sources ${ARG_WINDOWS})
    list(APPEND libs ${ARG_WINDOWS_LIBS})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    ns_target_defaults(${name})
    target_link_libraries(${name} PUBLIC ${libs})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${libs})
  endif()
endfunction()

# ns_add_executable(name SOURCES ... [LIBS ...] [GUI])
function(ns_add_executable name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_GUI AND WIN32)
    add_executable(${name} WIN32 ${ARG_SOURCES})
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  ns_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# ns_add_test(name SOURCES ... [LIBS ...] [ENVIRONMENT k=v ...] [TIMEOUT s])
# One GoogleTest program, run by CTest; in a Windows build CTest runs it under
# Wine through tests/wine-run in a fresh prefix of its own named after the test.
# WINE_PREFIX_ARGS are passed to scripts/wine-prefix (for example
# "--platform;8.3") to say what the prefix must hold.
function(ns_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;WINE_PREFIX_ARGS;ARGS;RESOURCE_LOCK" ${ARGN})
  if(NOT TARGET ${name})
    add_executable(${name} ${ARG_SOURCES})
    ns_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  endif()
  ns_register_test(${name} ${name} TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT ${ARG_ENVIRONMENT}
                   WINE_PREFIX_ARGS ${ARG_WINE_PREFIX_ARGS} ARGS ${ARG_ARGS}
                   RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
endfunction()

# ns_register_test(test_name target ...): one more CTest run of an existing
# program, for instance the same test program against a differently prepared
# Wine prefix. RESOURCE_LOCK names what the test must not share with a test
# running at the same time (for example "port800" for a listener on the
# report port).
function(ns_register_test test_name target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "ENVIRONMENT;WINE_PREFIX_ARGS;ARGS;RESOURCE_LOCK" ${ARGN})
  add_test(NAME ${test_name} COMMAND ${target} ${ARG_ARGS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(env ${ARG_ENVIRONMENT})
  if(WIN32)
    string(REPLACE ";" "," prefix_args "${ARG_WINE_PREFIX_ARGS}")
    list(APPEND env
      NS_WINE_ARCH=${NS_WINE_ARCH}
      NS_WINE_ROOT=${CMAKE_BINARY_DIR}/wine
      NS_BIN_DIR=${CMAKE_BINARY_DIR}/bin
      NS_TEST_NAME=${test_name}
      "NS_WINE_PREFIX_ARGS=${prefix_args}")
  endif()
  list(APPEND env NS_SOURCE_DIR=${PROJECT_SOURCE_DIR})
  # A program whose filter matches no case, or that skips a case inside,
  # exits 0 as if it had passed: either fails the test instead. A case that
  # may be skipped belongs in a test of its own that exits 77.
  set_tests_properties(${test_name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}"
    FAIL_REGULAR_EXPRESSION "Running 0 tests from;\\[  SKIPPED \\]")
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()

# ns_add_fuzzer(name SOURCES ... [LINK ...] [SEEDS dir] [SEED_SCRIPT script]
#               [ARGS ...])
# A libFuzzer target of the native build. libFuzzer needs clang while the
# project builds with g++, so clang compiles the target straight from the
# given sources beside the g++ build. It compiles them as UTF-8 (clang has no
# CP1251 execution character set), so a target checks properties that hold
# for any bytes. CTest runs it briefly (ARGS, five seconds by default) from
# its seed folder and from what SEED_SCRIPT writes; longer runs by hand:
#   build/native/bin/NAME -max_total_time=600 build/native/.../NAME-corpus
function(ns_add_fuzzer name)
  find_program(NS_CLANGXX NAMES clang++ clang++-14)
  if(WIN32 OR NOT NS_CLANGXX)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SEEDS;SEED_SCRIPT" "SOURCES;LINK;ARGS" ${ARGN})
  list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(fuzzer ${CMAKE_BINARY_DIR}/bin/${name})
  add_custom_command(OUTPUT ${fuzzer}
    COMMAND ${NS_CLANGXX} -std=c++20 -g -O1 -Wall -Wextra -Werror
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I${PROJECT_SOURCE_DIR}/src -I${CMAKE_CURRENT_SOURCE_DIR} ${ARG_SOURCES} ${ARG_LINK} -pthread -o ${fuzzer}
    DEPENDS ${ARG_SOURCES} ${headers}
    COMMENT "Building ${name} with clang" VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${fuzzer})

  # The first folder collects what the runs find; the seeds are only read.
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  set(prepare "mkdir -p ${corpus}")
  if(ARG_SEED_SCRIPT)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    string(APPEND prepare " && ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SEED_SCRIPT} ${corpus}")
  endif()
  set(folders ${corpus})
  if(ARG_SEEDS)
    list(APPEND folders ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SEEDS})
  endif()
  if(NOT ARG_ARGS)
    set(ARG_ARGS -max_total_time=5)
  endif()
  list(JOIN folders " " folders)
  list(JOIN ARG_ARGS " " run_args)
  add_test(NAME ${name}_smoke COMMAND sh -c
    "${prepare} && ${fuzzer} ${run_args} -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${name}- ${folders}")
  set_tests_properties(${name}_smoke PROPERTIES TIMEOUT 300)
endfunction()

# ns_add_glyphs(target): gives a Windows program the icon and the button
# glyphs of the windows (src/app/res/Glyphs.rc, drawn at build time), so that
# the main window finds them in its own module.
function(ns_add_glyphs target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/app/res/Glyphs.rc)
  target_include_directories(${target} PRIVATE ${NS_RES_DIR} ${PROJECT_SOURCE_DIR}/src/app)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/app/res/Glyphs.rc TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS "${NS_GLYPH_FILES}")
  add_dependencies(${target} ns_resources)
endfunction()
