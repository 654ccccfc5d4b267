# Makes one program's manual page, compressed as Debian wants it, from what
# the program prints for --help and --version and the material of its
# include file (help2man). Run as a script:
#
#   cmake -DHELP2MAN=... -DPROGRAM=... -DINCLUDE=... -DPAGE=name.1.gz -P ManPage.cmake
execute_process(
    COMMAND ${HELP2MAN} --no-info --section=1 --include=${INCLUDE} ${PROGRAM}
    OUTPUT_VARIABLE page
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "help2man could not make the page of ${PROGRAM}")
endif()

# help2man keeps the help's own headings ("Exit status:") as subsections of
# OPTIONS; each is a section of its own in a manual page.
string(REGEX MATCHALL "\n\\.SS \"[^\"\n]*:\"\n" headings "${page}")
foreach(heading IN LISTS headings)
    string(REGEX REPLACE "\n\\.SS \"([^\"\n]*):\"\n" "\\1" title "${heading}")
    string(TOUPPER "${title}" title)
    string(REPLACE "${heading}" "\n.SH \"${title}\"\n" page "${page}")
endforeach()

string(REGEX REPLACE "\\.gz$" "" plain "${PAGE}")
file(WRITE "${plain}" "${page}")
execute_process(COMMAND gzip -9 -n -f "${plain}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip could not compress ${plain}")
endif()
