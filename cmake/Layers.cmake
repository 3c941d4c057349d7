# The layers of the program, lowest first. Each layer is a folder and a
# library; a layer may include and link only the layers before it in its
# own line below. Every target of a layer sees, on its include path, a
# folder of links to exactly the layers it may use, so an include that
# reaches upward does not compile. scripts/check-layers checks the same
# rule on every file, headers included.
#
#   core            bytes and bounds, CP932 text, local time, display texts, user messages
#   formats         event log files, registry files and hives, message tables, INI text
#   services        the service interfaces, the win32 backend, the simulated network
#   engine          the collection run, report and trace
#   rules           every portable rule of the windows and the console
#   ui              the window toolkit (windows build)
#   gui             the windows, the dialogs, the application object, resources
#   cli             the console collector
#   tools/netbuild  the network builder

set(QUORVIN_LAYERS_core core)
set(QUORVIN_LAYERS_formats core formats)
set(QUORVIN_LAYERS_services core formats services)
set(QUORVIN_LAYERS_engine core formats services engine)
set(QUORVIN_LAYERS_rules core formats services engine rules)
set(QUORVIN_LAYERS_ui core ui)
set(QUORVIN_LAYERS_gui core formats services engine rules ui gui)
set(QUORVIN_LAYERS_cli core formats services engine rules cli)
set(QUORVIN_LAYERS_tools/netbuild core formats services tools/netbuild)

# quorvin_layer_includes(TARGET LAYER): TARGET sees the layers LAYER may use.
function(quorvin_layer_includes target layer)
  if(NOT DEFINED QUORVIN_LAYERS_${layer})
    message(FATAL_ERROR "unknown layer ${layer}")
  endif()
  set(view ${CMAKE_BINARY_DIR}/layer-includes/${layer})
  foreach(used ${QUORVIN_LAYERS_${layer}})
    get_filename_component(parent ${view}/${used} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${view}/${used})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${used} ${view}/${used} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PRIVATE ${view})
endfunction()

# quorvin_layer_library(LAYER SOURCES... [LINKS libraries...]): the static
# library quorvin_<name> of a layer (the name is the layer's last folder).
function(quorvin_layer_library layer)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
  get_filename_component(name ${layer} NAME)
  add_library(quorvin_${name} STATIC ${L_SOURCES})
  quorvin_target_options(quorvin_${name})
  quorvin_layer_includes(quorvin_${name} ${layer})
  target_link_libraries(quorvin_${name} PUBLIC ${L_LINKS})
endfunction()
