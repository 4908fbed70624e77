# Who the plugin says it is: the one place for its name, the version it
# reports to the client, its maker and its description. The exports, the
# version resource and the package's package.ini are all made from these.
set(ZOVIK_NAME "ZOVIK")
set(ZOVIK_REPORTED_VERSION "1.0.01")  # what the client shows; the file version is the project's
set(ZOVIK_MAKER "Wemto")
set(ZOVIK_YEAR "2013")
set(ZOVIK_AUTHOR "${ZOVIK_MAKER} (c) ${ZOVIK_YEAR}")
set(ZOVIK_COPYRIGHT "(c) ${ZOVIK_MAKER} ${ZOVIK_YEAR}")
set(ZOVIK_FILE_DESCRIPTION "${ZOVIK_NAME} - canal TeamSpeak 3 selon la radio DCS World")
# The client shows the description's two lines one under the other;
# package.ini wants one line, so there they are joined with " - ".
set(ZOVIK_DESCRIPTION_TITLE "Changement automatique de canal pour votre groupe selon la radio")
set(ZOVIK_DESCRIPTION_CREDIT "Interconnection avec DCS-World (c) Fighter Collection - Eagle dynamics")
set(ZOVIK_DESCRIPTION "${ZOVIK_DESCRIPTION_TITLE} - ${ZOVIK_DESCRIPTION_CREDIT}")
