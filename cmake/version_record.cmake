# Reads the text fields of the generated version record into variables of the caller named as
# its macros (NORVANE_RECORD_COMMENTS, NORVANE_RECORD_COMPANY_NAME, ...), for the files that
# repeat what the record says.
function(norvane_read_version_record)
  file(STRINGS ${NORVANE_GENERATED_DIR}/norvane/version_record.h lines REGEX "^#define NORVANE_RECORD_")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#define (NORVANE_RECORD_[A-Z_]+) \"(.*)\"$")
      set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
