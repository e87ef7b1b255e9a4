# Compiler and linker hardening for every target, and the sanitizer build.
# scripts/check-hardening.sh checks the built game for each property set here.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

# The flags are those of ELF and glibc: the Windows exe gets the linker's own defaults.
if(WIN32)
  set(harden_default OFF)
else()
  set(harden_default ON)
endif()
option(QUILLFANE_HARDEN "Stack protector, fortified libc calls, PIE, full RELRO, CET" ${harden_default})
option(QUILLFANE_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)

if(QUILLFANE_HARDEN)
  check_pie_supported(OUTPUT_VARIABLE pie_output LANGUAGES CXX)
  if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
    message(FATAL_ERROR "The linker cannot make position-independent executables:\n${pie_output}")
  endif()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  # That makes the static libraries -fPIC, where g++ would otherwise keep every function
  # out of line in case a shared library replaced it; they all end up in one executable.
  add_compile_options(-fno-semantic-interposition)
  add_compile_options(-fstack-protector-strong)
  # The fortified libc calls need optimisation, and they bypass the sanitizers' own
  # checks of the same calls. Some toolchains predefine the macro: undefine it first.
  if(NOT QUILLFANE_SANITIZE)
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    add_compile_options($<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=2>)
  endif()
  add_link_options(LINKER:-z,relro,-z,now)
  check_cxx_compiler_flag(-fcf-protection QUILLFANE_HAVE_CF_PROTECTION)
  if(QUILLFANE_HAVE_CF_PROTECTION)
    add_compile_options(-fcf-protection)
  endif()
endif()

if(QUILLFANE_SANITIZE)
  set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
  add_compile_options(${sanitize_flags} -fno-omit-frame-pointer)
  add_link_options(${sanitize_flags})
endif()
