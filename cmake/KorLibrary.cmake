# kor_library(<name> <SHARED|STATIC|OBJECT|MODULE|INTERFACE> [EXCLUDE <file>...]
#             [WINGS <folder>...])
#
# The one way a library of this tree is declared. Its sources are every .cpp
# directly in the current folder (EXCLUDE names the ones that belong to a
# program instead, such as main.cpp) and in each of its WINGS: subfolders
# that group a large library's parts (platform/zepa/users). A wing's headers
# are private like the folder's own; files include them by their path from
# the including file ("../users/user_store.h"). Its public include folder is
# <folder>/include, when the folder has one: the headers other libraries may
# include, written from the repository root inside it
# (<folder>/include/platform/zepa/zepa.h is included as
# "platform/zepa/zepa.h"). Every other header sits beside the sources and is
# private: the library's own files include it by its bare name, and no other
# library has a path that reaches it, so a layer reaching into another's
# insides fails to compile. Tests, fuzz targets and benchmarks see the whole
# tree (tests/CMakeLists.txt).
function(kor_library name type)
  cmake_parse_arguments(PARSE_ARGV 2 KOR "" "" "EXCLUDE;WINGS")
  set(public ${CMAKE_CURRENT_SOURCE_DIR}/include)
  if(type STREQUAL "INTERFACE")
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${public})
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(wing ${KOR_WINGS})
    file(GLOB wing_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${wing}/*.cpp)
    list(APPEND sources ${wing_sources})
  endforeach()
  foreach(excluded ${KOR_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${name} ${type} ${sources})
  if(EXISTS ${public})
    target_include_directories(${name} PUBLIC ${public})
  endif()
endfunction()
