pragma Singleton
import QtQuick
import Tidewell.Ui

// The palette, gradients and fonts every view takes its colours and faces
// from. Gradients are lists of evenly spaced stops.
QtObject {
    readonly property color textPrimary: Qt.rgba(236 / 255, 236 / 255, 238 / 255, 1)
    readonly property color textSecondary: Qt.rgba(139 / 255, 139 / 255, 147 / 255, 1)
    readonly property color textTertiary: Qt.rgba(122 / 255, 122 / 255, 130 / 255, 1)
    readonly property color backgroundTop: Qt.rgba(23 / 255, 23 / 255, 28 / 255, 1)
    readonly property color backgroundMiddle: Qt.rgba(13 / 255, 13 / 255, 16 / 255, 1)
    readonly property color backgroundBottom: Qt.rgba(8 / 255, 8 / 255, 10 / 255, 1)
    readonly property color mapSurface: Qt.rgba(11 / 255, 11 / 255, 14 / 255, 1)
    readonly property color cardFill: Qt.rgba(1, 1, 1, 0.035)
    readonly property color cardStroke: Qt.rgba(1, 1, 1, 0.07)
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.06)
    readonly property color danger: Qt.rgba(255 / 255, 91 / 255, 82 / 255, 1)
    readonly property color folderMarker: Qt.rgba(0.91, 0.61, 0.19, 1)
    readonly property color accent: Qt.rgba(43 / 255, 147 / 255, 255 / 255, 1)
    readonly property color accentDeep: Qt.rgba(10 / 255, 123 / 255, 255 / 255, 1)

    // Colours the controls share beyond the named palette.
    readonly property color controlText: Qt.rgba(208 / 255, 208 / 255, 214 / 255, 1)
    readonly property color symbolTint: Qt.rgba(201 / 255, 201 / 255, 210 / 255, 1)
    readonly property color pathText: Qt.rgba(127 / 255, 138 / 255, 168 / 255, 1)
    readonly property color linkHover: Qt.rgba(159 / 255, 159 / 255, 166 / 255, 1)
    readonly property color tileTop: Qt.rgba(58 / 255, 58 / 255, 66 / 255, 1)
    readonly property color tileBottom: Qt.rgba(38 / 255, 38 / 255, 44 / 255, 1)
    readonly property color logoShadow: Qt.rgba(255 / 255, 107 / 255, 107 / 255, 0.28)
    // The quick-clean panel's window, its hovered rows and its warning triangles.
    readonly property color panelFill: Qt.rgba(28 / 255, 28 / 255, 34 / 255, 1)
    readonly property color panelStroke: Qt.rgba(1, 1, 1, 0.1)
    readonly property color rowHover: Qt.rgba(1, 1, 1, 0.06)
    readonly property color warning: Qt.rgba(255 / 255, 179 / 255, 71 / 255, 1)
    readonly property color accentShadow: Qt.rgba(10 / 255, 123 / 255, 255 / 255, 0.35)

    // The sheets: their card, the rows' names and sizes, the marks.
    readonly property color sheetFill: Qt.rgba(30 / 255, 30 / 255, 36 / 255, 1)
    readonly property color dimmer: Qt.rgba(0, 0, 0, 0.45)
    readonly property color rowText: Qt.rgba(228 / 255, 228 / 255, 232 / 255, 1)
    readonly property color rowTextCovered: Qt.rgba(127 / 255, 127 / 255, 134 / 255, 1)
    readonly property color rowTextTicked: Qt.rgba(159 / 255, 159 / 255, 166 / 255, 1)
    readonly property color sizeText: Qt.rgba(185 / 255, 185 / 255, 193 / 255, 1)
    readonly property color markGrey: Qt.rgba(90 / 255, 90 / 255, 98 / 255, 1)
    readonly property color lightBlue: Qt.rgba(124 / 255, 192 / 255, 255 / 255, 1)
    readonly property color chipOn: Qt.rgba(74 / 255, 163 / 255, 255 / 255, 0.16)
    readonly property color amber: Qt.rgba(255 / 255, 179 / 255, 71 / 255, 1)
    readonly property color addedGreen: Qt.rgba(143 / 255, 182 / 255, 95 / 255, 1)
    readonly property color idleButtonText: Qt.rgba(106 / 255, 106 / 255, 114 / 255, 1)

    readonly property var backgroundGradient: [backgroundTop, backgroundMiddle, backgroundBottom]
    readonly property var brandGradient: [Qt.rgba(255 / 255, 179 / 255, 71 / 255, 1), Qt.rgba(255 / 255, 107 / 255, 107 / 255, 1), Qt.rgba(142 / 255, 92 / 255, 255 / 255, 1)]
    readonly property var accentGradient: [accent, accentDeep]
    readonly property var dangerGradient: [danger, Qt.rgba(230 / 255, 59 / 255, 50 / 255, 1)]
    readonly property var usageGradient: [Qt.rgba(90 / 255, 160 / 255, 255 / 255, 1), Qt.rgba(142 / 255, 92 / 255, 255 / 255, 1)]
    readonly property var tileGradient: [tileTop, tileBottom]

    // The interface face at a design size (one point is one logical pixel).
    function font(pixels: real, weight: int): font {
        return Ui.font(pixels, weight);
    }

    // The face with a letter spacing (logical pixels), underlined or not.
    function spacedFont(pixels: real, weight: int, letterSpacing: real, underline: bool): font {
        return Ui.font(pixels, weight, letterSpacing, underline);
    }

    // The same with digits of equal width, for changing counts and sizes.
    function digitsFont(pixels: real, weight: int): font {
        return Ui.digitsFont(pixels, weight);
    }
}
