# Compiler options for the project's own targets (not for GoogleTest).

if(WIN32)
  # UNICODE: a generic Win32 name (LoadString, RegisterClass) always means its
  # W function, as the program calls them; no project name takes such a name.
  add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX WIN32_LEAN_AND_MEAN UNICODE _UNICODE)
endif()

if(QUORVIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # One self-contained executable: no mingw runtime DLLs to find under Wine or Windows.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

option(QUORVIN_FUZZ "Build the libFuzzer targets (clang) instead of the tests" OFF)
if(QUORVIN_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1)
  add_link_options(-fsanitize=address,undefined)
endif()

# The 32-bit windows build makes the release executables, which also run on
# Windows XP and Server 2003: see core/xp_runtime.cpp.
set(QUORVIN_XP_RUNTIME OFF)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUORVIN_XP_RUNTIME ON)
endif()

function(quorvin_target_options target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Werror>)
  # Narrow literals are CP932 bytes; sources are UTF-8. Clang only knows
  # UTF-8 literals: the fuzz build, which uses it, checks parsers, not texts.
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8 -fexec-charset=CP932>)
  endif()
  get_target_property(type ${target} TYPE)
  if(QUORVIN_XP_RUNTIME AND type STREQUAL "EXECUTABLE")
    target_link_libraries(${target} PRIVATE quorvin_xp_runtime)
  endif()
endfunction()

if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Tests of the windows build run under Wine in a prefix inside the build folder.
  set(QUORVIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run;--prefix;${QUORVIN_WINEPREFIX})
endif()
