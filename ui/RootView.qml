import QtQuick
import Tidewell.Model
import Tidewell.Ui

// The frame every screen sits in: the background, the screen the model
// names, the menu button, and what may show over any screen (the sheets,
// the error alert, the About and update dialogs).
Item {
    id: root

    required property AppModel model
    required property UpdateChecker updates
    required property WindowHub hub

    function showAbout() {
        about.open();
    }

    GradientRect {
        anchors.fill: parent
        radial: true
        start: Qt.point(0.5, 0)
        radius: 900
        colors: Theme.backgroundGradient
    }

    // Screens change only when the model's screen does, with no transition.
    Loader {
        id: screenLoader

        readonly property string screenName: Ui.screenName(root.model.screen)

        function show() {
            const file = screenName === "scanning" ? "ScanningView.qml" : screenName === "results" ? "ResultsView.qml" : "SelectView.qml";
            setSource(file, {
                "model": root.model,
                "objectName": screenName + "View"
            });
        }

        objectName: "screenLoader"
        anchors.fill: parent
        onScreenNameChanged: show()
        Component.onCompleted: show()
    }

    // The sheets, each open while its model flag is set; the Downloads
    // review opens from the select screen as well as from the results.
    SmartCleanupSheet {
        model: root.model
    }

    TopFilesSheet {
        model: root.model
    }

    DownloadsSheet {
        model: root.model
    }

    PreviewPanel {
        objectName: "previewPanel"
        anchors.fill: parent
        z: 10
        model: root.model
    }

    AppMenuButton {
        objectName: "menuButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 14
        anchors.rightMargin: 18
        onClicked: appMenu.popup(this, width - appMenu.width, height + 6)
    }

    AppMenu {
        id: appMenu

        objectName: "appMenu"

        AppMenuItem {
            text: "Yeni Pencere"
            shortcutText: "Ctrl+N"
            onTriggered: root.hub.openWindow()
        }

        // Where the desktop has no tray, the quick-clean panel opens from here.
        AppMenuItem {
            objectName: "quickCleanMenuItem"
            text: "Hızlı Temizlik"
            visible: root.hub.offersQuickClean
            height: visible ? implicitHeight : 0
            onTriggered: root.hub.openQuickClean()
        }

        AppMenuItem {
            text: "Güncellemeleri Denetle…"
            enabled: root.updates.canCheckForUpdates
            onTriggered: root.updates.checkForUpdates()
        }

        AppMenuItem {
            text: "Tidewell Hakkında"
            onTriggered: about.open()
        }

        AppMenuSeparator {}

        AppMenuItem {
            text: "Çık"
            shortcutText: "Ctrl+Q"
            onTriggered: Qt.quit()
        }
    }

    // Shown exactly while errorMessage is not empty; dismissing it empties
    // errorMessage through the model, which notifies only on a change.
    AlertDialog {
        id: errorAlert

        objectName: "errorAlert"
        readonly property string text: root.model.errorMessage ?? ""

        title: "Bir sorun oluştu"
        message: text
        onTextChanged: text !== "" ? open() : close()
        onClosed: root.model.errorMessage = undefined
        Component.onCompleted: if (text !== "") open()
    }

    AlertDialog {
        id: about

        objectName: "aboutDialog"
        title: "Tidewell"
        message: "Sürüm " + Ui.version + " (" + Ui.build + ")\n" + Ui.licence
        showLogo: true
    }

    AlertDialog {
        id: updateFound

        objectName: "updateFoundDialog"
        property url downloadUrl

        buttons: ["Daha Sonra", "İndir"]
        onButtonClicked: index => {
            if (index === 1)
                root.updates.openDownload(downloadUrl);
        }
    }

    AlertDialog {
        id: updateNews

        objectName: "updateNewsDialog"
    }

    Connections {
        target: root.updates

        function onUpdateAvailable(version: string, downloadUrl: url) {
            updateFound.title = "Tidewell " + version + " mevcut";
            updateFound.message = "Şu an kullandığın sürüm " + Ui.version + ".";
            updateFound.downloadUrl = downloadUrl;
            updateFound.open();
        }

        function onUpToDate() {
            updateNews.title = "Tidewell güncel";
            updateNews.message = "Sürüm " + Ui.version + " en yeni sürüm.";
            updateNews.open();
        }

        function onCheckFailed(message: string) {
            updateNews.title = "Güncellemeler denetlenemedi";
            updateNews.message = message;
            updateNews.open();
        }
    }
}
