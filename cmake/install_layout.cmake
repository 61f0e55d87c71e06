# Runs at install time, when the prefix is known (cmake --install --prefix P, or /usr for the
# Debian package): the settings in the place an administrator edits them, the link to them
# beside the binary in lib/plovo, and bin/plovo, which starts that binary by its full path so
# that plovo started through PATH reads them. Expects plovo_ini and launcher_dir to be set.
# The launcher and the link name full paths, also for a prefix given as a relative one.
get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
if(prefix STREQUAL "/usr")
  set(etc "/etc/plovo")
else()
  set(etc "${prefix}/etc/plovo")
endif()
set(lib "${prefix}/lib/plovo")

# Settings already there were perhaps edited: they stay as they are.
if(EXISTS "$ENV{DESTDIR}${etc}/plovo.ini")
  message(STATUS "Keeping: $ENV{DESTDIR}${etc}/plovo.ini")
else()
  file(INSTALL "${plovo_ini}" DESTINATION "${etc}")
endif()

message(STATUS "Linking: $ENV{DESTDIR}${lib}/plovo.ini -> ${etc}/plovo.ini")
file(CREATE_LINK "${etc}/plovo.ini" "$ENV{DESTDIR}${lib}/plovo.ini" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${lib}/plovo.ini")

# exec: the same process, so that the arguments, the signals and the exit status are plovo's.
string(REPLACE "'" "'\\''" quoted "${lib}/plovo")
file(WRITE "${launcher_dir}/plovo" "#!/bin/sh\nexec '${quoted}' \"$@\"\n")
file(INSTALL "${launcher_dir}/plovo" DESTINATION "${prefix}/bin"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
