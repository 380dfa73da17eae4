# The fixed identifiers of the automation class, read from the interface description so that it
# stays their only source. Each variable holds the registry's text form: upper-case, in braces.
#   TANDREL_CLSID  class AffinityManager
#   TANDREL_LIBID  library TandrelPro
#   TANDREL_IID    interface IAffinityManager
set(TANDREL_IDL ${CMAKE_SOURCE_DIR}/backend/automation/tandrel_pro.idl)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TANDREL_IDL})
file(READ ${TANDREL_IDL} tandrel_idl_text)

# The uuid attribute that directly precedes "KEYWORD NAME" (no brace or semicolon in between).
function(tandrel_idl_uuid variable keyword name)
  string(REGEX MATCH "uuid\\(([0-9A-Fa-f-]+)\\)[^{;]*${keyword}[ \t\r\n]+${name}[ \t\r\n:{]"
    match "${tandrel_idl_text}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "${TANDREL_IDL}: no uuid for ${keyword} ${name}")
  endif()
  string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
  set(${variable} "${guid}" PARENT_SCOPE)
endfunction()

tandrel_idl_uuid(TANDREL_CLSID coclass AffinityManager)
tandrel_idl_uuid(TANDREL_LIBID library TandrelPro)
tandrel_idl_uuid(TANDREL_IID interface IAffinityManager)
