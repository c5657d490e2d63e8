cmake_minimum_required(VERSION 3.25)
# cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P import_table.cmake
# The program's import table may name only libraries that Windows never looks for in the program's own
# folder: its KnownDLLs, and comctl32, which the manifest takes from the side-by-side store. Every other
# system library is delay-loaded, and so found in the system folder alone.
set(allowed advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(failed OR NOT imports)
  message(FATAL_ERROR "no import table read from ${PROGRAM}")
endif()
set(unexpected)
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" name "${line}")
  string(TOLOWER "${name}" name)
  if(NOT name IN_LIST allowed)
    list(APPEND unexpected ${name})
  endif()
endforeach()
if(unexpected)
  message(FATAL_ERROR "imported by name, and so looked for beside the program first: ${unexpected}")
endif()
