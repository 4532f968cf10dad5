// The filters of the picture dialogs, the same in every project window.
#pragma once

// Open picture: every type the picture loader reads.
inline const char* kOpenPictureFilter =
    "All pictures (*.bmp *.pcx *.tga *.png *.jpg *.jpeg);;BMP - OS/2 or Windows Bitmap (*.bmp);;"
    "PCX - ZSoft Paintbrush (*.pcx);;TGA - Truevision Targa (*.tga);;PNG - Portable Network Graphics (*.png);;"
    "JPEG - JPEG picture (*.jpg *.jpeg)";

// Save result picture: every type the picture writer writes.
inline const char* kSavePictureFilter =
    "All pictures (*.tga *.bmp *.png);;TGA - Truevision Targa (*.tga);;BMP - Windows bitmap (*.bmp);;"
    "PNG - Portable Network Graphics (*.png)";
