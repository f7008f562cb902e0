# Run by CPack on the files it staged, before it packs them. The .deb and the
# .rpm get what their distributions expect of a package: no compiler notes in
# the executable and the manual page compressed; the .deb also the copyright in
# Debian's format instead of the licence file, a changelog, and the reason for
# the static executable (the .rpm carries its changelog in its header). The archives
# keep the files as installed.
if(NOT CPACK_GENERATOR MATCHES "^(DEB|RPM)$")
    return()
endif()

set(doc ${CPACK_TEMPORARY_DIRECTORY}/usr/share/doc/procgroups)
set(debian ${CPACK_PROCGROUPS_SOURCE_DIR}/cmake/debian)

# Compressed as Debian does it: best compression, no name or time stamp inside.
function(gzip_in_place file)
    execute_process(COMMAND gzip -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# What dh_strip leaves out of a Debian binary besides the symbols, with the
# strip of the executable's own architecture.
execute_process(COMMAND ${CPACK_PROCGROUPS_STRIP} --remove-section=.comment --remove-section=.note
                        ${CPACK_TEMPORARY_DIRECTORY}/usr/bin/procgroups COMMAND_ERROR_IS_FATAL ANY)
gzip_in_place(${CPACK_TEMPORARY_DIRECTORY}/usr/share/man/man1/procgroups.1)
if(CPACK_GENERATOR STREQUAL "RPM")
    return()
endif()
file(REMOVE ${doc}/LICENSE)
file(COPY ${debian}/copyright DESTINATION ${doc})
file(COPY ${debian}/changelog DESTINATION ${doc})
gzip_in_place(${doc}/changelog)
set(overrides ${CPACK_TEMPORARY_DIRECTORY}/usr/share/lintian/overrides)
file(MAKE_DIRECTORY ${overrides})
file(COPY_FILE ${debian}/lintian-overrides ${overrides}/procgroups)
