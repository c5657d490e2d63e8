# cmake -DSTAGE=<folder> -DZIP=<file> -DEPOCH=<seconds> -DPROGRAM=<exe> -DREADME=<txt> -DLICENCES=<folder>
#       -P QuillonZip.cmake
# The portable zip, the same bytes from every build of one commit: entries in a fixed order, each with the
# commit's time and fixed modes, and nothing of the build machine (no owners, no extra times).
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${STAGE} ${ZIP})
file(MAKE_DIRECTORY ${STAGE}/licences)
file(COPY_FILE ${PROGRAM} ${STAGE}/Quillon.exe)
file(COPY_FILE ${README} ${STAGE}/README.txt)
file(GLOB licences RELATIVE ${LICENCES} ${LICENCES}/*)
list(SORT licences)
set(entries Quillon.exe README.txt)
foreach(name IN LISTS licences)
  file(COPY_FILE ${LICENCES}/${name} ${STAGE}/licences/${name})
  list(APPEND entries licences/${name})
endforeach()

foreach(entry IN LISTS entries)
  file(CHMOD ${STAGE}/${entry} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
file(CHMOD ${STAGE}/Quillon.exe PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
# zip keeps local times: in UTC they are the commit's.
execute_process(COMMAND touch -d @${EPOCH} ${entries} WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q ${ZIP} ${entries}
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
