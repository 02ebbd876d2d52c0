# The Windows Installer package of Tavelo.exe, built by wixl from Tavelo.wxs:
#   target tavelo_package -> build/package/Tavelo-<version>.msi (i686) or -x64.msi (x86_64)
# tavelo_msi(<target> <output> <version>) builds a package of this build's program with any
# version, so that tests can make an older one to upgrade from.
include_guard(GLOBAL)

find_program(TAVELO_WIXL wixl REQUIRED)
# One upgrade code for every version and both builds: a newer package of either replaces an
# older one of either.
set(TAVELO_UPGRADE_CODE 7D41B0E2-93C6-4F0A-8E15-6B2C9A3D5F71)
set(TAVELO_WXS ${CMAKE_SOURCE_DIR}/tools/package/Tavelo.wxs)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAVELO_MSI_ARCH x64)
    set(TAVELO_MSI_SUFFIX -x64)
else()
    set(TAVELO_MSI_ARCH x86)
    set(TAVELO_MSI_SUFFIX "")
endif()

function(tavelo_msi target output version)
    # wixl looks source files up by relative paths only: everything is named from the source
    # folder, where it runs.
    file(RELATIVE_PATH exe_dir ${CMAKE_SOURCE_DIR} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    file(RELATIVE_PATH icon ${CMAKE_SOURCE_DIR} ${TAVELO_ARTWORK_DIR}/icon131.ico)
    file(GLOB languages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/language/*.lng)
    get_filename_component(output_dir ${output} DIRECTORY)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
        COMMAND ${TAVELO_WIXL} -a ${TAVELO_MSI_ARCH} -D Version=${version}
                -D Arch=${TAVELO_MSI_ARCH} -D UpgradeCode=${TAVELO_UPGRADE_CODE}
                -D ExeDir=${exe_dir} -D LanguageDir=resources/language -D IconFile=${icon}
                -o ${output} ${TAVELO_WXS}
        DEPENDS Tavelo ${TAVELO_WXS} ${languages} ${TAVELO_ARTWORK_DIR}/icon131.ico
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        COMMENT "Packaging ${output}"
        VERBATIM)
    add_custom_target(${target} DEPENDS ${output})
endfunction()

set(TAVELO_PACKAGE ${CMAKE_SOURCE_DIR}/build/package/Tavelo-${PROJECT_VERSION}${TAVELO_MSI_SUFFIX}.msi)
tavelo_msi(tavelo_package ${TAVELO_PACKAGE} ${PROJECT_VERSION})
