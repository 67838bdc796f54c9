// Runs in the main frame of every document the browser page fetch loads, in a world of the program's own that the
// page's scripts do not share: it tells the program that a document was created, that it is ready (parsed) and
// that it is being left. Only events the browser itself fires count, never ones a page's script dispatches.
(function () {
    'use strict';
    var MARK = '@MARK@', name = String(Math.random());
    function tell(kind) {
        console.log(MARK + JSON.stringify({k: kind, d: name}));
    }
    tell('document');
    document.addEventListener('DOMContentLoaded', function (event) {
        if (event.isTrusted) {
            tell('ready');
        }
    });
    window.addEventListener('beforeunload', function (event) {
        if (event.isTrusted) {
            tell('leaving');
        }
    });
})();
