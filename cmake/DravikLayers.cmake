# Layers see only the layers below them. Sources include headers as "layer/...", so each layer gets an
# include root of its own in the build folder holding one link to src/<layer>; a target's include path
# then names exactly the layers it may use, and an include of any other layer fails to compile.
set(DRAVIK_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)

# dravik_layer(target layer): target's own headers are reachable as "layer/..." by it and its users.
function(dravik_layer target layer)
  set(root ${DRAVIK_LAYER_ROOTS}/${layer})
  if(NOT EXISTS ${root}/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${layer} ${root}/${layer} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
