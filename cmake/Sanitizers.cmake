# AddressSanitizer + UndefinedBehaviorSanitizer for the test build.
if(TESSALY_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()
