# Run by CPack before it packs. Every time stamp in the release files is
# SOURCE_DATE_EPOCH, and where that is not set, the time of the commit the
# sources come from, so that the files rebuild bit for bit.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_PROCGROUPS_COMMIT_TIME)
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_PROCGROUPS_COMMIT_TIME})
endif()
