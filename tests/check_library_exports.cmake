# Reads the built plugin's export and import tables with objdump and fails
# unless it exports exactly the client's nine entry points and (on Windows)
# imports nothing but DLLs every Windows installation has. The build that
# answers each client its API adds ts3plugin_registerPluginID, the channel
# events, the chat command's, the pilot's controls' (menu, hotkeys, info
# panel) and the settings dialog's exports; the fixed API 20 build has none:
# exactly nine. With
# IMPORTS_ONLY (a Windows program) only the imports are checked, EXTRA_DLLS
# naming more system DLLs.
#   cmake -DOBJDUMP=... -DLIBRARY=... -DWINDOWS=ON|OFF -P check_library_exports.cmake
cmake_minimum_required(VERSION 3.25)

set(expected
  ts3plugin_apiVersion ts3plugin_author ts3plugin_description ts3plugin_init
  ts3plugin_name ts3plugin_onConnectStatusChangeEvent ts3plugin_setFunctionPointers
  ts3plugin_shutdown ts3plugin_version)
# The library that answers each client its API also takes the plugin ID
# that clients from 3.1 on hand out, follows the server's channels live,
# has the /zovik chat command with the server's answers to it, and offers
# the client's Settings button.
if(API STREQUAL "client")
  list(APPEND expected ts3plugin_registerPluginID ts3plugin_onNewChannelEvent
       ts3plugin_onNewChannelCreatedEvent ts3plugin_onDelChannelEvent
       ts3plugin_onUpdateChannelEvent ts3plugin_onUpdateChannelEditedEvent
       ts3plugin_commandKeyword ts3plugin_processCommand ts3plugin_onServerErrorEvent
       ts3plugin_onServerPermissionErrorEvent ts3plugin_freeMemory ts3plugin_initMenus
       ts3plugin_onMenuItemEvent ts3plugin_initHotkeys ts3plugin_onHotkeyEvent
       ts3plugin_infoTitle ts3plugin_infoData ts3plugin_offersConfigure ts3plugin_configure)
  list(SORT expected)
endif()

if(WINDOWS)
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objdump failed on ${LIBRARY}")
  endif()
  # Export names follow the "[Ordinal/Name Pointer] Table" heading.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)+)" table "${dump}")
  string(REPLACE "\n" ";" rows "${CMAKE_MATCH_1}")
  set(exports)
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^[ \t]*\\[[ 0-9]+\\] " "" name "${row}")
    if(name)
      list(APPEND exports ${name})
    endif()
  endforeach()

  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  set(system_dlls KERNEL32.DLL ADVAPI32.DLL WS2_32.DLL MSVCRT.DLL USER32.DLL GDI32.DLL ${EXTRA_DLLS})
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOUPPER "${dll}" dll)
    string(STRIP "${dll}" dll)
    if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^API-MS-WIN-")
      message(FATAL_ERROR "${LIBRARY} imports ${dll}, which a clean Windows does not have")
    endif()
    message(STATUS "imports ${dll}")
  endforeach()
  if(IMPORTS_ONLY)
    return()
  endif()
else()
  execute_process(COMMAND ${OBJDUMP} -T ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objdump failed on ${LIBRARY}")
  endif()
  # Defined dynamic symbols: a section other than *UND*, global binding.
  string(REGEX MATCHALL "\n[0-9a-f]+ g[^\n]* \\.text[^\n]*" rows "${dump}")
  set(exports)
  foreach(row IN LISTS rows)
    string(REGEX MATCH "[^ \t]+$" name "${row}")
    list(APPEND exports ${name})
  endforeach()
  string(REGEX MATCHALL "\n[0-9a-f]+ g[^\n]*" all_defined "${dump}")
  foreach(row IN LISTS all_defined)
    if(NOT row MATCHES "\\*UND\\*" AND NOT row MATCHES " \\.text")
      message(FATAL_ERROR "unexpected exported data symbol: ${row}")
    endif()
  endforeach()
endif()

list(SORT exports)
if(NOT exports STREQUAL expected)
  message(FATAL_ERROR "exports of ${LIBRARY}:\n  ${exports}\nexpected:\n  ${expected}")
endif()
list(LENGTH expected count)
message(STATUS "exactly the ${count} entry points are exported")
