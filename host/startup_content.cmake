# Run by the build (cmake -P): lays out the default start-up folder content.
#   STARTUP_DIR/resource/          everything in examples/startup/resource (the GUI script, its header)
#   STARTUP_DIR/../frameworks/orvane.framework/
#                                  the SDK headers that -createdistribution scans, a fresh copy each
#                                  time so that a header removed from the SDK does not linger
file(COPY ${SOURCE_DIR}/examples/startup/ DESTINATION ${STARTUP_DIR})
get_filename_component(sdk_dir ${STARTUP_DIR}/../frameworks/orvane.framework ABSOLUTE)
file(REMOVE_RECURSE ${sdk_dir})
file(COPY ${SOURCE_DIR}/frameworks/orvane.framework/ DESTINATION ${sdk_dir} FILES_MATCHING PATTERN "*.h")
