# cmake -DOUT=<SHA256SUMS> -DFILES=<file>|<file>... -P QuillonSums.cmake
# The release folder's sums, in the form that sha256sum -c reads.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" files "${FILES}")
set(sums)
foreach(path IN LISTS files)
  file(SHA256 ${path} hash)
  cmake_path(GET path FILENAME name)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${OUT} "${sums}")
