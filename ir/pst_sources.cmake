# Program structure tree: single-entry single-exit regions of a function body, classified for printing.
target_sources(briskcore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/pst.cpp)
