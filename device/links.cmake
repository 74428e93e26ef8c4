# Links beyond the built-in ones: the socket link to a writer over TCP, and the recording
# wrapper with its trace files. The socket code is chosen per platform, a whole file each.
if(WIN32)
  set(brevant_socket_sources)   # the Windows socket files join when that build does
else()
  set(brevant_socket_sources
    ${CMAKE_CURRENT_LIST_DIR}/socket_frames_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/socket_transport_posix.cpp
  )
endif()

add_library(brevant_links
  ${CMAKE_CURRENT_LIST_DIR}/socket_address.cpp
  ${brevant_socket_sources}
  ${CMAKE_CURRENT_LIST_DIR}/recording_transport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/trace_file.cpp
)
target_link_libraries(brevant_links PUBLIC brevant_device)
