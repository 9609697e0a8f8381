find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(LibXml2 REQUIRED)

# E-mail (SMTP) and webhooks of the monitor's alarms.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)

find_path(PICOJSON_INCLUDE_DIR picojson.h REQUIRED)
add_library(lm_picojson INTERFACE)
target_include_directories(lm_picojson SYSTEM INTERFACE ${PICOJSON_INCLUDE_DIR})

if(LM_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(LM_BENCH)
  find_package(benchmark REQUIRED)
endif()
if(LM_GUI)
  pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
  pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
  pkg_check_modules(WEBKIT_EXT REQUIRED IMPORTED_TARGET webkit2gtk-web-extension-4.1)
endif()
