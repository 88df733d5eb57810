# Locates the JDK for the JNI headers and the Java tools. On a fresh machine JAVA_HOME is
# unset and FindJNI alone finds nothing, so the JDK's home is derived from the real path of
# javac (<home>/bin/javac) before FindJNI and FindJava run.
if(NOT DEFINED ENV{JAVA_HOME} OR "$ENV{JAVA_HOME}" STREQUAL "")
  find_program(TOVALIN_JAVAC_PATH javac)
  if(TOVALIN_JAVAC_PATH)
    file(REAL_PATH "${TOVALIN_JAVAC_PATH}" _javac_real)
    get_filename_component(_jdk_bin "${_javac_real}" DIRECTORY)
    get_filename_component(_jdk_home "${_jdk_bin}" DIRECTORY)
    set(ENV{JAVA_HOME} "${_jdk_home}")
    set(JAVA_HOME "${_jdk_home}")
    message(STATUS "JDK home derived from javac: ${_jdk_home}")
  endif()
endif()
find_package(Java 17 REQUIRED COMPONENTS Development Runtime)
find_package(JNI REQUIRED)
include(UseJava)
