# graftling_version_resource(TARGET FILE_NAME FILE_TYPE DESCRIPTION): gives a
# Windows target the version resource of cmake/version.rc.in, with the
# project's version, FILE_NAME as its original file name and FILE_TYPE
# (VFT_DLL or VFT_APP). Elsewhere it does nothing.
# The copyright is LICENSE's own line, so the two cannot drift apart.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE GRAFTLING_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

function(graftling_version_resource target fileName fileType description)
  if(NOT WIN32)
    return()
  endif()
  set(GRAFTLING_FILE_NAME ${fileName})
  set(GRAFTLING_FILE_TYPE ${fileType})
  set(GRAFTLING_FILE_DESCRIPTION ${description})
  set(resource ${CMAKE_BINARY_DIR}/version/${fileName}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
