# The template database: resources/schema.sql run through the sqlite3 program into an empty
# file. It is built beside and then renamed, so an interrupted build never leaves half a template.
find_program(SQLITE3_PROGRAM sqlite3 REQUIRED)
set(template_database ${PARLIVO_RESOURCE_DIR}/parlivodb.sql)
add_custom_command(OUTPUT ${template_database}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${template_database}.new
  COMMAND ${SQLITE3_PROGRAM} -bail ${template_database}.new ".read ${CMAKE_CURRENT_SOURCE_DIR}/schema.sql"
  COMMAND ${CMAKE_COMMAND} -E rename ${template_database}.new ${template_database}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/schema.sql
  COMMENT "Making the template database parlivodb.sql")
list(APPEND resource_outputs ${template_database})
