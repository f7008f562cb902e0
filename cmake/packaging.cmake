# What `cmake --install` puts in place and what CPack packs: the tool, its manual
# page where man exists, and the README and licence.
if(WIN32)
    install(FILES README.md LICENSE DESTINATION .)
    set(CPACK_GENERATOR ZIP)
else()
    install(FILES man/procgroups.1 DESTINATION share/man/man1)
    install(FILES README.md LICENSE DESTINATION share/doc/procgroups)
    set(CPACK_GENERATOR DEB TGZ)
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

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # procgroups_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The executable is static: the package depends on nothing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
set(CPACK_PROCGROUPS_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian_package.cmake)
include(CPack)
