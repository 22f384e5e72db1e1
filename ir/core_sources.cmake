# Objects, memory, strings, containers, errors, tags, scopes, symbols, types, values.
target_sources(briskcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ctx.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fcn.cpp
  ${CMAKE_CURRENT_LIST_DIR}/logger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mempool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/obj.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pageahead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/predicate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stringbuffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/strings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbolicsize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/typefactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/value.cpp
)
