# Compiler settings shared by every target of the project.

set(KV_WARNINGS -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wno-missing-field-initializers
    $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)

if(KV_SANITIZE)
  set(KV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${KV_SANITIZER_FLAGS})
  add_link_options(${KV_SANITIZER_FLAGS})
endif()

if(KV_FUZZ)
  # Everything is instrumented for coverage; the fuzz targets add the libFuzzer driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(kv_target_defaults target)
  target_include_directories(${target} PUBLIC ${KV_ROOT})
  target_compile_options(${target} PRIVATE ${KV_WARNINGS})
endfunction()
