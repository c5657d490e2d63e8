cmake_minimum_required(VERSION 3.25)
# cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -DCOMPILER=<C cross compiler> -DDELAYED=<folder of the .def files>
#       -DINSTALLER=<installer.nsi> -DWORK=<folder> -P import_table.cmake
# The program's import table may name only libraries that Windows never looks for in the program's own
# folder: its KnownDLLs, and comctl32, which the manifest takes from the side-by-side store. Every other
# system library is delay-loaded, and so found in the system folder alone.
set(allowed advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll)

# Every function the program imports, delay-loaded ones included, that Windows 8.1 lacks, with the first
# Windows build that has it, as the function's page in Microsoft's API reference gives it under "Minimum
# supported client"; none may be newer than the build that the installer asks for. Which functions 8.1
# lacks, MinGW-w64's headers tell: they declare a Windows 10 function only when _WIN32_WINNT asks for
# Windows 10 (0x0A00), so it is a name that compiles there and not at Windows 8.1 (0x0603).
set(newer_than_windows_8_1
    AdjustWindowRectExForDpi=14393  # Windows 10, version 1607
    GetDpiForWindow=14393)          # Windows 10, version 1607
# What the MinGW-w64 runtime's start-up code takes from msvcrt.dll and no header declares.
set(declared_nowhere __getmainargs __initenv __set_app_type __setusermatherr _amsg_exit _commode _initterm
    _lock _unlock)
set(headers windows.h bcrypt.h commctrl.h objbase.h oleacc.h oleauto.h shellapi.h wininet.h winver.h ctype.h
    fcntl.h io.h locale.h process.h setjmp.h signal.h stdio.h stdlib.h string.h sys/stat.h time.h wchar.h)

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

# The imported functions: the import table's, by name, and the delay-loaded libraries'.
string(REGEX MATCHALL "\n\t[0-9a-f]+\t +[0-9]+  [A-Za-z_][A-Za-z0-9_]*" functions "${dump}")
list(TRANSFORM functions REPLACE ".* " "")
file(GLOB definitions ${DELAYED}/*.def)
foreach(definition IN LISTS definitions)
  file(STRINGS ${definition} names REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
  list(REMOVE_ITEM names EXPORTS)
  list(APPEND functions ${names})
endforeach()
list(REMOVE_DUPLICATES functions)

list(TRANSFORM headers REPLACE ".+" "#include <\\0>\n" OUTPUT_VARIABLE probe)
list(TRANSFORM functions REPLACE ".+" "  (void)&\\0,\n" OUTPUT_VARIABLE uses)
string(REPLACE ";" "" probe "${probe}void probe(void) {\n${uses}")
file(WRITE ${WORK}/import_probe.c "${probe}  0;\n}\n")
foreach(version 0x0603 0x0A00)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${COMPILER} -fsyntax-only -fmax-errors=0
                          -D_WIN32_WINNT=${version} -DWINVER=${version} ${WORK}/import_probe.c
                  ERROR_VARIABLE errors)
  # A message may hold ";", which would split it as a list.
  string(REPLACE ";" "," errors "${errors}")
  string(REGEX MATCHALL "error: [^\n]*" all "${errors}")
  set(undeclared_${version} ${all})
  list(FILTER all EXCLUDE REGEX "^error: '[A-Za-z0-9_]+' undeclared")
  if(all)
    message(FATAL_ERROR "the headers did not compile at _WIN32_WINNT=${version}: ${all}")
  endif()
  list(TRANSFORM undeclared_${version} REPLACE "error: '([A-Za-z0-9_]+)'.*" "\\1")
endforeach()

file(READ ${INSTALLER} script)
string(REGEX MATCHALL "\\$\\{AtLeastBuild\\} [0-9]+" floor "${script}")
if(NOT floor MATCHES "^[^;]+$")
  message(FATAL_ERROR "not one \${AtLeastBuild} in ${INSTALLER}: ${floor}")
endif()
string(REGEX REPLACE ".* " "" floor "${floor}")

set(problems)
set(tabled)
foreach(row IN LISTS newer_than_windows_8_1)
  string(REGEX REPLACE "=.*" "" name "${row}")
  string(REGEX REPLACE ".*=" "" build "${row}")
  list(APPEND tabled ${name})
  if(build GREATER floor)
    list(APPEND problems "${name} needs build ${build}, newer than the installer's ${floor}")
  endif()
  if(NOT name IN_LIST functions OR NOT name IN_LIST undeclared_0x0603)
    list(APPEND problems "${name} is not imported, or Windows 8.1 has it: its row goes")
  endif()
endforeach()
foreach(name IN LISTS functions)
  if(name IN_LIST undeclared_0x0A00 AND NOT name IN_LIST declared_nowhere)
    list(APPEND problems "${name} is declared in none of the headers read: which Windows has it?")
  elseif(name IN_LIST undeclared_0x0603 AND NOT name IN_LIST undeclared_0x0A00 AND NOT name IN_LIST tabled)
    list(APPEND problems "${name} is newer than Windows 8.1: give it a row with the first build that has it")
  endif()
endforeach()
if(problems)
  list(JOIN problems "\n  " problems)
  message(FATAL_ERROR "imports against the oldest Windows the installer accepts (build ${floor}):\n  ${problems}")
endif()
