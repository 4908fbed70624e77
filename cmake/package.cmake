# The plugin package the voice client installs on double-click: a zip
# (deflate) named *.ts3_plugin with package.ini at its root and the library
# plus its log folder under plugins/; PROGRAMS go into that folder.
function(zovik_add_package target file_name platform)
  cmake_parse_arguments(ARG "" "" "PROGRAMS" ${ARGN})
  set(ZOVIK_PACKAGE_PLATFORM ${platform})
  set(staging ${CMAKE_CURRENT_BINARY_DIR}/${target}-staging)
  set(program_commands)
  foreach(program IN LISTS ARG_PROGRAMS)
    list(APPEND program_commands
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${staging}/plugins/zovik_plugin/
      COMMAND ${CMAKE_STRIP} --strip-unneeded
              ${staging}/plugins/zovik_plugin/$<TARGET_FILE_NAME:${program}>)
  endforeach()
  set(package ${CMAKE_BINARY_DIR}/${file_name})
  configure_file(${PROJECT_SOURCE_DIR}/dist/package.ini.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.ini @ONLY)
  add_custom_command(
    OUTPUT ${package}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${staging}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${staging}/plugins/zovik_plugin
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_BINARY_DIR}/${target}.ini ${staging}/package.ini
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:zovik_plugin> ${staging}/plugins/${ZOVIK_PACKAGE_LIBRARY_NAME}
    COMMAND ${CMAKE_STRIP} --strip-unneeded ${staging}/plugins/${ZOVIK_PACKAGE_LIBRARY_NAME}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/dist/zovik_plugin_folder.txt
            ${staging}/plugins/zovik_plugin/readme.txt
    ${program_commands}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${package}
    COMMAND ${CMAKE_COMMAND} -E chdir ${staging}
            ${CMAKE_COMMAND} -E tar cf ${package} --format=zip package.ini plugins
    DEPENDS zovik_plugin ${ARG_PROGRAMS} ${CMAKE_CURRENT_BINARY_DIR}/${target}.ini
            ${PROJECT_SOURCE_DIR}/dist/zovik_plugin_folder.txt
    COMMENT "Packing ${file_name}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${package})
endfunction()
