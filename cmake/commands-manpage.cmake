# Run as cmake -DCLI=<kvr7314-cli> -DOUTPUT=<file> -P commands-manpage.cmake:
# writes a help2man include file with a COMMANDS section that holds the help
# of every command of kvr7314-cli, so the man page has their options too.
set(commands write read test-call no-network report diff ports find sim)
set(text "[COMMANDS]\n")
foreach(command ${commands})
  execute_process(COMMAND ${CLI} help ${command} OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "kvr7314-cli help ${command} failed")
  endif()
  # The exit codes stand once, in the program's own section.
  string(FIND "${help}" "Exit codes:" exit_codes)
  if(exit_codes GREATER 0)
    string(SUBSTRING "${help}" 0 ${exit_codes} help)
  endif()
  # roff: a backslash is written \e, and a line may not begin with a dot.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "\n\\." "\n\\\\&." help "${help}")
  string(APPEND text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
