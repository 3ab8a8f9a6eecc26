# Warning, sanitizer and runtime flags, applied per target with brimlet_target_flags().

option(BRIMLET_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(BRIMLET_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough -Werror)

if(BRIMLET_SANITIZE)
  set(BRIMLET_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  add_compile_options(${BRIMLET_SANITIZER_FLAGS})
  add_link_options(${BRIMLET_SANITIZER_FLAGS})
endif()

# The fuzz build (clang): coverage for libFuzzer on everything, sanitizers
# that stop at the first finding.
option(BRIMLET_FUZZ "Build the libFuzzer targets (clang) instead of the tests" OFF)
if(BRIMLET_FUZZ)
  set(BRIMLET_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  add_compile_options(${BRIMLET_FUZZ_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

if(MINGW)
  # One self-contained program: no libstdc++, libgcc or winpthread DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

function(brimlet_target_flags target)
  get_target_property(lang_type ${target} TYPE)
  target_compile_options(${target} PRIVATE
      $<$<COMPILE_LANGUAGE:CXX>:${BRIMLET_WARNINGS}>)
endfunction()
