# Message DLLs: resource-only PE DLLs holding the message table of a .mc
# source, built at build time with the mingw-w64 tools of the host, in every
# build (native, windows, fuzz).
#
#   quorvin_message_dll(NAME <name> MC <file.mc> OUTPUT_DIR <dir>
#                       [FILE <file name>] [TARGET <target>] [MACHINE x86_64|i686] [ANSI]
#                       [MANIFEST <file.bin> | MANIFEST_TEXT <file.man>])
#
# makes <dir>/<name>.dll, or <dir>/<file name> (PE32+ for x86_64, the
# default; PE32 for i686), and the target message_dll_<name>, or <target>,
# part of ALL, for others to depend on. Two modules of the same name in
# different folders need different targets.
#
# The .mc source is UTF-8 (windmc -C 65001) and its texts become Unicode
# entries (-U), Japanese ones included; with ANSI they become ANSI entries in
# the code page of their language (932 for Japanese, 1252 for English).
# windmc keeps the line ends of the source in the texts: the source is given
# to it with CRLF line ends, so that every text line ends in "\r\n" as in
# the message files of Windows, whatever the line ends of the .mc file.
# Each language the .mc declares (LanguageNames=(Japanese=0x411:MSG00411))
# becomes one language of the message table; without a declaration the
# language is English (0x409).
#
# MANIFEST puts the bytes of a provider manifest into the module as the
# resource "1 WEVT_TEMPLATE", as the message compiler's .rc line does for
# a manifest-based provider. MANIFEST_TEXT makes those bytes from a
# manifest's text (tools/netbuild/manifest_text.h) with the host tool
# quorvin-manifest first, as the .mc step makes the message table.

# Script mode: copies QUORVIN_CRLF_IN to QUORVIN_CRLF_OUT with CRLF line ends.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED QUORVIN_CRLF_IN)
  file(READ ${QUORVIN_CRLF_IN} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${QUORVIN_CRLF_OUT} "${text}")
  return()
endif()

# Script mode: adds the manifest QUORVIN_RC_MANIFEST to the .rc QUORVIN_RC.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED QUORVIN_RC_MANIFEST)
  file(APPEND ${QUORVIN_RC} "1 WEVT_TEMPLATE \"${QUORVIN_RC_MANIFEST}\"\n")
  return()
endif()

function(quorvin_message_dll)
  cmake_parse_arguments(M "ANSI" "NAME;MC;OUTPUT_DIR;FILE;TARGET;MACHINE;MANIFEST;MANIFEST_TEXT" "" ${ARGN})
  if(NOT M_NAME OR NOT M_MC OR NOT M_OUTPUT_DIR)
    message(FATAL_ERROR "quorvin_message_dll needs NAME, MC and OUTPUT_DIR")
  endif()
  if(NOT M_MACHINE)
    set(M_MACHINE x86_64)
  endif()
  if(NOT M_FILE)
    set(M_FILE ${M_NAME}.dll)
  endif()
  if(NOT M_TARGET)
    set(M_TARGET message_dll_${M_NAME})
  endif()
  if(NOT M_MACHINE MATCHES "^(x86_64|i686)$")
    message(FATAL_ERROR "quorvin_message_dll: MACHINE must be x86_64 or i686, not ${M_MACHINE}")
  endif()

  foreach(tool windmc windres gcc)
    string(TOUPPER "QUORVIN_${M_MACHINE}_${tool}" var)
    find_program(${var} ${M_MACHINE}-w64-mingw32-${tool} REQUIRED)
    set(${tool} ${${var}})
  endforeach()

  set(entries -U)
  if(M_ANSI)
    set(entries -A)
  endif()

  get_filename_component(mc ${M_MC} ABSOLUTE)
  get_filename_component(mc_base ${M_MC} NAME_WE)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${M_TARGET})
  set(dll ${M_OUTPUT_DIR}/${M_FILE})
  file(MAKE_DIRECTORY ${work})
  set(manifest_step)
  set(manifest_file)
  if(M_MANIFEST_TEXT)
    if(NOT TARGET quorvin-manifest)
      message(FATAL_ERROR "quorvin_message_dll: MANIFEST_TEXT needs the tool quorvin-manifest")
    endif()
    get_filename_component(manifest_text ${M_MANIFEST_TEXT} ABSOLUTE)
    set(manifest_file ${work}/manifest.bin)
    set(run_tool $<TARGET_FILE:quorvin-manifest>)
    if(CMAKE_CROSSCOMPILING)
      set(run_tool ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorvin-manifest>)
    endif()
    add_custom_command(
      OUTPUT ${manifest_file}
      COMMAND ${run_tool} ${manifest_text} ${manifest_file}
      DEPENDS ${manifest_text} quorvin-manifest
      COMMENT "Provider manifest of ${M_FILE} from ${M_MANIFEST_TEXT}"
      VERBATIM)
  elseif(M_MANIFEST)
    get_filename_component(manifest_file ${M_MANIFEST} ABSOLUTE)
  endif()
  if(manifest_file)
    set(manifest_step COMMAND ${CMAKE_COMMAND} -DQUORVIN_RC=${work}/${mc_base}.rc
        -DQUORVIN_RC_MANIFEST=${manifest_file} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
  endif()

  add_custom_command(
    OUTPUT ${dll}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${M_OUTPUT_DIR}
    COMMAND ${CMAKE_COMMAND} -DQUORVIN_CRLF_IN=${mc} -DQUORVIN_CRLF_OUT=${work}/${mc_base}.mc
            -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMAND ${windmc} -C 65001 ${entries} -h ${work} -r ${work} ${work}/${mc_base}.mc
    ${manifest_step}
    COMMAND ${windres} -I ${work} -i ${work}/${mc_base}.rc -O coff -o ${work}/${mc_base}.res.o
    COMMAND ${gcc} -shared -nostdlib -nostartfiles -Wl,-e,0 -Wl,--no-insert-timestamp
            ${work}/${mc_base}.res.o -o ${dll}
    DEPENDS ${mc} ${manifest_file}
    WORKING_DIRECTORY ${work}
    COMMENT "Message module ${M_FILE} from ${M_MC}"
    VERBATIM)
  add_custom_target(${M_TARGET} ALL DEPENDS ${dll})
endfunction()
