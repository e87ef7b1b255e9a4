# Compiler and linker hardening for every target, and the sanitizer build.
# scripts/check-hardening.sh checks the built game for each property set here.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

# The Windows exe keeps MinGW's defaults, under which it needs no DLL beyond Windows' own
# (scripts/check-windows.sh reads its imports); the page keeps emscripten's.
if(WIN32 OR EMSCRIPTEN)
  set(harden_default OFF)
else()
  set(harden_default ON)
endif()
option(QUILLFANE_HARDEN
       "Stack protector, fortified libc calls, PIE, full RELRO, CET: each the toolchain takes"
       ${harden_default})
option(QUILLFANE_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)

# Each flag only where configuring finds that the compiler takes it, and the program links.
function(quillfane_harden_compile flag variable)
  check_cxx_compiler_flag(${flag} ${variable})
  if(${variable})
    add_compile_options(${flag})
  else()
    message(STATUS "Hardening: the compiler does not take ${flag}")
  endif()
endfunction()

if(QUILLFANE_HARDEN)
  check_pie_supported(OUTPUT_VARIABLE pie_output LANGUAGES CXX)
  if(CMAKE_CXX_LINK_PIE_SUPPORTED)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    # That makes the static libraries -fPIC, where g++ would otherwise keep every function
    # out of line in case a shared library replaced it; they all end up in one executable.
    quillfane_harden_compile(-fno-semantic-interposition QUILLFANE_HAVE_NO_INTERPOSITION)
  else()
    message(STATUS "Hardening: the linker makes no position-independent executables")
  endif()
  quillfane_harden_compile(-fstack-protector-strong QUILLFANE_HAVE_STACK_PROTECTOR)
  # The fortified libc calls need optimisation, and they bypass the sanitizers' own
  # checks of the same calls. Some toolchains predefine the macro: undefine it first. A libc
  # without them ignores the macro.
  if(NOT QUILLFANE_SANITIZE)
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    add_compile_options($<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=2>)
  endif()
  # ELF's full RELRO: Apple's linker, for one, has no -z.
  check_linker_flag(CXX "LINKER:-z,relro,-z,now" QUILLFANE_HAVE_RELRO)
  if(QUILLFANE_HAVE_RELRO)
    add_link_options(LINKER:-z,relro,-z,now)
  else()
    message(STATUS "Hardening: the linker does not take -z relro -z now")
  endif()
  quillfane_harden_compile(-fcf-protection QUILLFANE_HAVE_CF_PROTECTION)
endif()

if(QUILLFANE_SANITIZE)
  set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
  add_compile_options(${sanitize_flags} -fno-omit-frame-pointer)
  add_link_options(${sanitize_flags})
endif()
