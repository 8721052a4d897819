# Resources linked into a program: brightmill_embed_resources turns the
# listed files into a generated source of byte arrays that adds them to the
# program's resource table when the program starts (platform/system/
# resources.h opens them). Several targets may each embed their own.
#
#   brightmill_embed_resources(<target>
#     [TYPE <type>] NAME <name> FILE <file>
#     [TYPE <type>] ID <number> FILE <file> ...)
#
# TYPE (a name, or a number as its decimal digits) holds for the entry it
# stands in and is RCDATA (10) when left out. Files are relative to the
# current source folder. For an executable the resources are linked into
# it; for a library, into every program that links the library.

set(BRIGHTMILL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResourcesScript.cmake)

function(brightmill_embed_resources target)
  set(manifest "")
  set(files "")
  set(type "#10")
  set(id "")
  set(expect "")
  foreach(arg ${ARGN})
    if(expect STREQUAL "TYPE")
      if(arg MATCHES "^[0-9]+$")
        set(type "#${arg}")
      else()
        set(type "${arg}")
      endif()
      set(expect "")
    elseif(expect STREQUAL "NAME")
      set(id "${arg}")
      set(expect "")
    elseif(expect STREQUAL "ID")
      if(NOT arg MATCHES "^[0-9]+$")
        message(FATAL_ERROR "brightmill_embed_resources: ID ${arg} is not a number")
      endif()
      set(id "#${arg}")
      set(expect "")
    elseif(expect STREQUAL "FILE")
      if(id STREQUAL "")
        message(FATAL_ERROR "brightmill_embed_resources: FILE ${arg} without NAME or ID")
      endif()
      get_filename_component(path "${arg}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
      string(APPEND manifest "${type}|${id}|${path}\n")
      list(APPEND files "${path}")
      set(type "#10")
      set(id "")
      set(expect "")
    elseif(arg STREQUAL "TYPE" OR arg STREQUAL "NAME" OR arg STREQUAL "ID" OR arg STREQUAL "FILE")
      set(expect "${arg}")
    else()
      message(FATAL_ERROR "brightmill_embed_resources: unexpected ${arg}")
    endif()
  endforeach()
  if(NOT expect STREQUAL "" OR NOT id STREQUAL "")
    message(FATAL_ERROR "brightmill_embed_resources: the last entry of ${target} is incomplete")
  endif()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/resources)
  set(list_file ${dir}/${target}.list)
  set(source ${dir}/${target}_resources.cpp)
  file(GENERATE OUTPUT ${list_file} CONTENT "${manifest}")
  add_custom_command(OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DLIST=${list_file} -DOUTPUT=${source} -DTARGET=${target}
            -P ${BRIGHTMILL_EMBED_SCRIPT}
    DEPENDS ${files} ${list_file} ${BRIGHTMILL_EMBED_SCRIPT}
    COMMENT "Embedding the resources of ${target}")
  add_library(${target}_resources OBJECT ${source})
  target_include_directories(${target}_resources PRIVATE ${CMAKE_SOURCE_DIR})
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "EXECUTABLE")
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_resources>)
  else()
    # A library's archive would drop objects that nothing calls into, so the
    # programs that link it take the objects themselves.
    target_sources(${target} INTERFACE $<TARGET_OBJECTS:${target}_resources>)
  endif()
endfunction()
