# Control flow: operators, node definitions, nodes, graphs, factories, regions, type checker.
target_sources(briskcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/op.cpp
  ${CMAKE_CURRENT_LIST_DIR}/node.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cfg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nodefactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/region.cpp
  ${CMAKE_CURRENT_LIST_DIR}/typechecker.cpp
)
