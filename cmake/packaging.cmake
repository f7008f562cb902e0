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
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Report how logical processors are arranged in processor groups")
set(CPACK_PACKAGE_CONTACT "The procgroups developers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The executable is static: the package depends on nothing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
include(CPack)
