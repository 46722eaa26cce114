# The compiler and linker hardening Debian builds its packages with (what dpkg-buildflags
# gives): fortified C library calls, stack protector, format-string checks as errors,
# position-independent executables, and a relocation table made read-only at start-up.
# Set here for every target of the tree (programs, tools, activities), for the optimised
# build types that releases and packages are made from; _FORTIFY_SOURCE does nothing
# without optimisation. The sanitizer build brings its own instrumentation instead.
option(PARLANTO_HARDENING "Build optimised programs with Debian's hardening flags" ON)
if(NOT PARLANTO_HARDENING OR PARLANTO_SANITIZE)
    return()
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
# Level 3 (GCC 12 and Debian 12's C library have it) also checks copies whose buffer size is
# only known at run time, so that every program has fortified calls, not only those whose
# buffers have a size known when compiling. -U first: some compilers define their own level,
# and a second definition would warn.
add_compile_options(
    "$<${optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3>"
    "$<${optimised}:-fstack-protector-strong>"
    "$<${optimised}:-Wformat;-Werror=format-security>")
add_link_options("$<${optimised}:LINKER:-z,relro,-z,now>")
unset(optimised)
