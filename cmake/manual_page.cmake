# Writes a gzipped manual page for a program from its own --help and --version
# output with help2man, so that the page cannot say anything the help does not.
#   cmake -DPROGRAM=<path> -DNAME=<one-line description> -DINCLUDE=<file.h2m>
#         -DHELP2MAN=<path> -DOUTPUT=<page.1.gz> [-DSUBCOMMANDS=ON] -P manual_page.cmake
# With SUBCOMMANDS, the subcommands that `PROGRAM --help` lists get a section
# SUBCOMMANDS holding each one's own --help text.
cmake_minimum_required(VERSION 3.25)

get_filename_component(folder "${PROGRAM}" DIRECTORY)
get_filename_component(program "${PROGRAM}" NAME)
# Run through PATH, so that the usage lines show the bare program name.
set(ENV{PATH} "${folder}:$ENV{PATH}")
get_filename_component(work "${OUTPUT}" DIRECTORY)
set(page "${work}/${program}.1")
set(generated "${work}/${program}.subcommands.h2m")

function(escape_roff text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(includes --include=${INCLUDE})
if(SUBCOMMANDS)
  execute_process(COMMAND ${program} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${program} --help failed")
  endif()
  string(REGEX MATCH "\nSubcommands:\n.*" listing "${help}")
  string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" names "${listing}")
  if(NOT names)
    message(FATAL_ERROR "${program} --help lists no subcommands")
  endif()
  set(section "[SUBCOMMANDS]\n")
  foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    execute_process(COMMAND ${program} ${name} --help OUTPUT_VARIABLE text RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${program} ${name} --help failed")
    endif()
    escape_roff("${text}" text)
    string(APPEND section ".SS \"${program} ${name}\"\n.nf\n${text}.fi\n")
  endforeach()
  file(WRITE "${generated}" "${section}")
  list(APPEND includes --include=${generated})
endif()

execute_process(COMMAND ${HELP2MAN} --no-info --section=1 --name=${NAME} ${includes} --output=${page} ${program}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed for ${program}")
endif()
execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed for ${page}")
endif()
