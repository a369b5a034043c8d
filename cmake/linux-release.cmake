# The Linux release archive, packed like the Windows one, so the Linux program is updated the
# same way:
#   cmake --build build --target release_zip
# makes build/Quorvel-<version>-linux-x64.zip. The help text stays as the repository has it.
include(${CMAKE_SOURCE_DIR}/cmake/release-zip.cmake)
quorvel_release_zip(linux-x64 Quorvel)
