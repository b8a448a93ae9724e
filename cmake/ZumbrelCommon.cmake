# Settings shared by every target of ours: language level, warnings, sanitizers.

# Where the installed programs find their catalogs, relative to their own folder.
file(RELATIVE_PATH ZUMBREL_INSTALLED_LOCALE_DIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LOCALEDIR})
add_library(zumbrel_common_cfg INTERFACE)
target_compile_features(zumbrel_common_cfg INTERFACE cxx_std_20)
target_compile_options(zumbrel_common_cfg INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wnon-virtual-dtor -Woverloaded-virtual
    # GCC 12 reports std::string concatenations falsely (its bug 105329).
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
target_compile_definitions(zumbrel_common_cfg INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_DISABLE_DEPRECATED_BEFORE=0x060400
    ZUMBREL_VERSION="${PROJECT_VERSION}"
    ZUMBREL_TEXT_DOMAIN="${ZUMBREL_TEXT_DOMAIN}"
    ZUMBREL_DESKTOP_ID="${ZUMBREL_DESKTOP_ID}"
    ZUMBREL_INSTALLED_LOCALE_DIR="${ZUMBREL_INSTALLED_LOCALE_DIR}"
    ZUMBREL_HOMEPAGE_URL="${ZUMBREL_HOMEPAGE_URL}")
target_include_directories(zumbrel_common_cfg INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(ZUMBREL_SANITIZE AND ZUMBREL_TSAN)
    message(FATAL_ERROR "ZUMBREL_SANITIZE and ZUMBREL_TSAN cannot be combined")
endif()
if(ZUMBREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(ZUMBREL_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Adds a library for one layer of src/ with the shared configuration.
function(zumbrel_add_layer name)
    add_library(${name} STATIC ${ARGN})
    target_link_libraries(${name} PUBLIC zumbrel_common_cfg)
endfunction()
