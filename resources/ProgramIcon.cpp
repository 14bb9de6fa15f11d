// The program's icon: the girl from the scene, face and red hair. Edit the rows
// by hand; tools/make_icon.py turns them into resources/porumina.png.
#include "ProgramIcon.h"

const TIconPicture ProgramIcon{
    // One string per pixel row keeps the picture editable.
    // clang-format off
    .Rows =
        {
            "          oooooooooooo          ",
            "        ooRRRRRRRRRRRRoo        ",
            "       oRRRRhhRRRRRRRRRRo       ",
            "      oRRRRhhRRRRRRRRRRRRo      ",
            "     oRRRRRRhhRRRRRRRRRRRRo     ",
            "    oRRRRRRrRrRrrRrrRRRRRRRo    ",
            "   oRRRRRRrRrRrRRrRrrRRRRRRRo   ",
            "   oRRRRRrRRrRrRRrRRrrRRRRRRo   ",
            "   oRRRRrRRrRRrRRrRRrRrRRRRRo   ",
            "  oRRRRrRRRrRRrRRRrRRrRRrRRRRo  ",
            " ooRRRrRRRrRRRrRRRrRRRrRRrRRRoo ",
            " ooRRrRRRRrRRRooRRRrRRRrRRrRRoo ",
            " oroRRRRRooRRosoRRRooRRRoRRRoo  ",
            " oroRRoRRooRRosoRRosoRRooRRRoro ",
            " orRoRooossoosssoosssoosoRRoRro ",
            " orRroosssssssssssssssssoRorRro ",
            " orRrRosskkkkksssskkkkkssoRrRro ",
            " orRrrosskwEEksssskwEEkssorrRro ",
            " orRrRosskwEEksssskwEEkssoRrRro ",
            " orRrrosskeeeksssskeeekssorrRro ",
            " orRrRossskkksssssskkksssoRrRro ",
            " orRrrroppsssssssssssspporrrRro ",
            " orRrRrossssssssssssssssorRrRro ",
            " orRrrrrossssssmmssssssorrrrRro ",
            " orRrRrrroossssssssssoorrrRrRro ",
            " orRrrrrrrooossssssooorrrrrrRro ",
            " orRrRrrrowwwooooooWWWorrrRrRro ",
            " orRrrrrodowwwwoWWWWWodorrrrRro ",
            " orRrRroddowwwwoWWWWWoddorRrRro ",
            " orRrrrodddowwooooWWodddorrrRro ",
            " orRrRodddddooddddoodddddoRrRro ",
            "  oooooooooooooooooooooooooooo  ",
        },
    // clang-format on
    .Palette =
        {
            {'o', RGBColor(40, 22, 34)},    // outline
            {'k', RGBColor(0, 0, 0)},       // eye lines
            {'R', RGBColor(255, 0, 0)},     // hair
            {'r', RGBColor(150, 10, 30)},   // hair shade
            {'h', RGBColor(255, 150, 140)}, // hair shine
            {'s', RGBColor(252, 222, 200)}, // skin
            {'p', RGBColor(240, 150, 150)}, // blush
            {'m', RGBColor(170, 70, 80)},   // mouth
            {'w', RGBColor(255, 255, 255)}, // collar, eye shine
            {'W', RGBColor(214, 214, 228)}, // collar shadow
            {'E', RGBColor(36, 70, 130)},   // iris dark
            {'e', RGBColor(70, 130, 200)},  // iris
            {'d', RGBColor(58, 72, 150)},   // dress
        },
    .TransparentKey = ' ',
};
