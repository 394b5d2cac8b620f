# Writes the man page of ticket2dict with help2man, from the program's
# --help and --version, with a section that holds each subcommand's --help
# (the subcommands are those that `ticket2dict --help` lists).
#
#   cmake -DPROGRAM=... -DHELP2MAN=... -DINCLUDE=... -DOUTPUT=... -P man_page.cmake
foreach(variable PROGRAM HELP2MAN INCLUDE OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "man_page.cmake: ${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "man_page.cmake: ${PROGRAM} --help failed (${status})")
endif()

# The subcommands: the lines "  NAME  description" after "SUBCOMMANDS:".
string(REGEX REPLACE "^.*\nSUBCOMMANDS:\n" "" listing "${help}")
string(REGEX MATCHALL "(^|\n)  [a-z][a-z0-9-]*" names "${listing}")
set(text "[SUBCOMMANDS]\n")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  execute_process(COMMAND ${PROGRAM} ${name} --help OUTPUT_VARIABLE usage RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "man_page.cmake: ${PROGRAM} ${name} --help failed (${status})")
  endif()
  # roff: a backslash is written \e, a line that starts with . or ' is
  # protected by \&.
  string(REPLACE "\\" "\\e" usage "${usage}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" usage "${usage}")
  string(APPEND text ".SS ${name}\n.nf\n${usage}.fi\n")
endforeach()
file(WRITE ${INCLUDE} "${text}")

execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 "--name=run the RIP task's job-ticket conversion from a task file"
          --include=${INCLUDE} --output=${OUTPUT} ${PROGRAM}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "man_page.cmake: help2man failed (${status})")
endif()
