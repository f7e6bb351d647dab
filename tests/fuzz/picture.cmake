# The picture decoder behind CPicture::LoadFromMemory, with every format it
# reads (BMP in its many header forms, JPEG, GIF, PNG, ICO, the portable
# pixmaps) and the decoding bounds; crashes/ keeps what it must refuse.
pelmora_add_fuzzer(picture
    SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/picture_fuzz.cpp
    LIBS pelmora_photo
    CORPUS ${PROJECT_SOURCE_DIR}/tests/data/fuzz/picture/seeds
           ${PROJECT_SOURCE_DIR}/tests/data/fuzz/picture/crashes)
