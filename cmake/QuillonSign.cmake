# cmake -DOSSLSIGNCODE=<tool> -DPKCS12=<file> -DPASSWORD_FILE=<file> -DEPOCH=<seconds> -P QuillonSign.cmake
#       -- <file to sign>
# Signs a program in place with Authenticode. The password is read from its file, never put on a command
# line; the signing time is the commit's, so that a signed build is as reproducible as an unsigned one.
cmake_minimum_required(VERSION 3.25)
math(EXPR last "${CMAKE_ARGC} - 1")
set(file ${CMAKE_ARGV${last}})
set(password)
if(PASSWORD_FILE)
  set(password -readpass ${PASSWORD_FILE})
endif()
file(REMOVE ${file}.signed)
execute_process(COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} ${password} -h sha256 -time ${EPOCH}
                        -in ${file} -out ${file}.signed
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  file(REMOVE ${file}.signed)
  message(FATAL_ERROR "osslsigncode could not sign ${file}")
endif()
file(RENAME ${file}.signed ${file})
