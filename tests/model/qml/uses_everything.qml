// Reads every property of the application model, its list models and node
// values, the two map views and the quick-clean model, so that qmllint
// checks each of them against the modules' type information.
//
// QtQuick comes under a name of its own: imported plainly, its attached type
// Screen hides AppModel.Screen from qmllint 6.4 (the program itself resolves
// AppModel.Screen.results either way).
import QtQuick as Q
import Tidewell.Model
import Tidewell.QuickClean
import Tidewell.Viz

Q.Item {
    id: everything

    required property AppModel app
    required property QuickCleanModel quickClean

    // The application model's fields.
    readonly property bool onResults: app.screen === AppModel.Screen.results
    readonly property real scannedFiles: app.progress.fileCount
    readonly property real scannedBytes: app.progress.byteCount
    readonly property string scanningPath: app.progress.currentPath
    readonly property string rootName: app.root.name
    readonly property int pathLength: app.path.length
    readonly property var hoveredNode: app.hovered
    readonly property real treeVersion: app.treeVersion
    readonly property int basketLength: app.basket.length
    readonly property real freed: app.freed
    readonly property var pickedFolderName: app.pickedFolderName
    readonly property var errorMessage: app.errorMessage
    readonly property bool confirming: app.showDeleteConfirm
    readonly property bool deleting: app.isDeleting
    readonly property int savedCount: app.savedLocations.length
    readonly property url preview: app.quickLookURL
    readonly property bool sunburst: app.vizMode === AppModel.VizMode.sunburst
    readonly property bool smartShown: app.showSmartCleanup
    readonly property var smartResults: app.smartResults
    readonly property bool analysingSmart: app.isAnalyzingSmart
    readonly property real smartVersion: app.smartResultsVersion
    readonly property bool downloadsShown: app.showDownloads
    readonly property real downloadsSize: app.downloadsTree.size
    readonly property bool scanningDownloads: app.isScanningDownloads
    readonly property int datedEntries: app.downloadsDates.length
    readonly property int tickedEntries: app.downloadsSelection.length
    readonly property int visibleEntries: app.visibleDownloads.length
    readonly property real tickedBytes: app.selectedDownloadsBytes
    readonly property bool bigOnly: app.downloadsFilter === AppModel.DownloadsFilter.big
    readonly property bool topShown: app.showTopFiles
    readonly property var topFiles: app.topFiles
    readonly property bool analysingTop: app.isAnalyzingTop
    readonly property real topVersion: app.topFilesVersion
    readonly property var volumeTotal: app.volumeTotal
    readonly property var volumeFree: app.volumeFree
    readonly property string focusName: app.focus.name
    readonly property string diskLabel: app.startupDiskLabel
    readonly property real unreadable: app.unreadableCount

    // A node value's fields.
    readonly property real focusSize: app.focus.size
    readonly property bool focusIsFolder: app.focus.isDirectory
    readonly property string focusPath: app.focus.path
    readonly property bool focusHasChildren: app.focus.hasChildren
    readonly property bool focusValid: app.focus.isValid
    readonly property bool focusIsRoot: app.focus.sameNode(app.root)

    // The list models' own properties.
    readonly property int childCount: app.children.count
    readonly property int basketCount: app.basketItems.count
    readonly property real basketTotal: app.basketItems.total
    readonly property int downloadCount: app.downloadItems.count
    readonly property int topFileCount: app.topFileItems.count

    // The quick-clean model.
    readonly property int quickRows: quickClean.rows.length
    readonly property bool quickAccess: quickClean.hasAccess
    readonly property var quickLastRefresh: quickClean.lastRefresh
    readonly property bool quickRefreshing: quickClean.isRefreshing

    // Every operation the views call.
    function operate(node: node, category: int, location: int, path: string) {
        app.startScan(Qt.resolvedUrl(path));
        app.scanWholeDisk();
        app.openSavedLocation(location);
        app.forgetLocation(location);
        app.cancelScan();
        app.resetToSelect();
        app.goUp();
        app.toggleBasket(node);
        app.removeFromBasket(node);
        app.jumpTo(node);
        app.addCategoryToBasket(category);
        app.requestDelete();
        app.deleteBasket(false);
        const deletable = app.canDelete(node) && app.isInBasket(node);
        app.scanDownloads(path);
        app.scanDownloads();
        app.toggleDownloadSelection(node);
        const ticked = app.isDownloadSelected(node);
        const date = app.downloadDate(node);
        app.toggleAllVisibleDownloads();
        app.trashSelectedDownloads();
        app.openSmartCleanup();
        app.analyzeSmart();
        app.openTopFiles();
        app.analyzeTopFiles();
        app.path = [app.root];
        app.hovered = node;
        app.errorMessage = undefined;
        app.showDeleteConfirm = false;
        app.quickLookURL = Qt.resolvedUrl(path);
        app.vizMode = AppModel.VizMode.treemap;
        app.showSmartCleanup = false;
        app.showDownloads = deletable || ticked || date !== undefined;
        app.downloadsFilter = AppModel.DownloadsFilter.days30;
        app.showTopFiles = false;
        quickClean.ensureAccess();
        quickClean.rebuildRows();
        quickClean.appear();
        quickClean.refresh();
        quickClean.clean(path);
    }

    Q.Connections {
        target: everything.quickClean
        function onCleanFinished(relativePath: string) {
            console.log(relativePath);
        }
    }

    Q.Row {
        anchors.fill: parent

        Q.ListView {
            width: 100
            height: everything.height
            model: everything.app.children
            delegate: Q.Text {
                required property node node
                required property string name
                required property real size
                required property real fraction
                required property Q.color colour
                required property bool isDirectory
                required property bool hasChildren
                required property bool inBasket
                required property bool covered
                required property bool canDelete
                text: name + size + fraction + isDirectory + hasChildren + inBasket + covered
                      + canDelete + node.path
                color: colour
            }
        }

        Q.ListView {
            width: 100
            height: everything.height
            model: everything.app.basketItems
            delegate: Q.Text {
                required property node node
                required property string name
                required property real size
                required property string location
                required property bool isDirectory
                text: name + size + location + isDirectory + node.path
            }
        }

        Q.ListView {
            width: 100
            height: everything.height
            model: everything.app.downloadItems
            delegate: Q.Text {
                required property node node
                required property string name
                required property real size
                required property bool isDirectory
                required property bool selected
                required property var date
                text: name + size + isDirectory + selected + date + node.path
            }
        }

        Q.ListView {
            width: 100
            height: everything.height
            model: everything.app.topFileItems
            delegate: Q.Text {
                required property node node
                required property int rank
                required property string name
                required property string path
                required property real size
                required property bool inBasket
                required property bool covered
                required property bool canDelete
                required property bool attached
                text: rank + name + path + size + inBasket + covered + canDelete + attached
                      + node.path
            }
        }

        TreemapView {
            width: 100
            height: everything.height
            model: everything.app
            onContextMenuRequested: (node, isDirectory, inBasket, position) => {
                everything.app.quickLookURL = Qt.resolvedUrl(node.path + isDirectory + inBasket
                                                             + position.x);
            }
        }

        SunburstView {
            width: 100
            height: everything.height
            model: everything.app
            onContextMenuRequested: (node, isDirectory, inBasket, position) => {
                everything.app.toggleBasket(node);
                console.log(isDirectory, inBasket, position.y);
            }
        }
    }
}
