# Type and function builders used by clients that construct IR from a description.
target_sources(briskcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/typebuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fcnbuilder.cpp
)
