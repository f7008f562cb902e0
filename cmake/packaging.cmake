# What `cmake --install` puts in place and what CPack packs: the tool, its manual
# page where man exists, and the README and licence.
if(WIN32)
    install(FILES README.md LICENSE DESTINATION .)
    set(CPACK_GENERATOR ZIP)
else()
    install(FILES man/procgroups.1 DESTINATION share/man/man1)
    install(FILES README.md LICENSE DESTINATION share/doc/procgroups)
    set(CPACK_GENERATOR DEB TGZ)
    # rpmbuild makes the .rpm; without it the other packages are still made.
    find_program(RPMBUILD rpmbuild)
    if(RPMBUILD)
        list(APPEND CPACK_GENERATOR RPM)
    endif()
endif()

set(CPACK_PACKAGE_NAME procgroups)
set(CPACK_PACKAGE_VENDOR "The procgroups developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "report how logical processors are arranged in processor groups")
set(CPACK_PACKAGE_DESCRIPTION "procgroups prints how many logical processors are active in all processor
groups together and in each group its own process is assigned to, in the
same three lines on Linux as on Windows, with an exit status that scripts can
rely on. On Linux it forms the groups that Windows would form on the same
hardware: groups of at most 64 processors, NUMA nodes kept whole where they
fit and close nodes together, larger nodes cut between cores. It shows how a
machine of more than 64 processors will be divided before software that runs
in one processor group is deployed on it.")
set(CPACK_PACKAGE_CONTACT "The procgroups developers <procgroups@procgroups.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
string(TOLOWER ${CMAKE_SYSTEM_NAME} system)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${system}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)

# Each distribution's own name for the architecture.
set(debian_architectures x86_64=amd64 aarch64=arm64 ppc64le=ppc64el s390x=s390x)
list(FILTER debian_architectures INCLUDE REGEX "^${CMAKE_SYSTEM_PROCESSOR}=")
string(REGEX REPLACE "^.*=" "" CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${debian_architectures}")
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # procgroups_VERSION_ARCHITECTURE.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The executable is static: the package depends on nothing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "")

set(CPACK_RPM_FILE_NAME RPM-DEFAULT)  # procgroups-VERSION-1.ARCHITECTURE.rpm
set(CPACK_RPM_PACKAGE_SUMMARY "Report how logical processors are arranged in processor groups")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
# Reproducible: the build time, the files' times and the build host come from
# SOURCE_DATE_EPOCH, not from the machine that packs.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${CPACK_PACKAGE_CONTACT}
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _buildhost procgroups.invalid")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_SOURCE_DIR}/cmake/rpm/changelog)
# The file system package owns these.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1)
# rpmbuild's own strip and compress steps know only the build machine's
# architecture; the pre-build script has done both already.
set(CPACK_RPM_SPEC_INSTALL_POST "/bin/true")

# The release files rebuild bit for bit (cmake/release_time.cmake), with
# their checksums beside them.
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE CPACK_PROCGROUPS_COMMIT_TIME OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/release_time.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/checksums.cmake)

set(CPACK_PROCGROUPS_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROCGROUPS_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/distribution_package.cmake)
include(CPack)
