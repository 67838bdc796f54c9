// Runs in the main frame of every document the browser page fetch loads, before the page's own scripts and in
// the page's own world, because the callbacks that receive the marketplace's data answers live there. It hands
// over, through the console, the answers the page's scripts receive from the data endpoints (JSONP, XHR,
// fetch), and nothing else; it gives the page nothing of the program's to call. The program reads only
// messages that start with a mark made fresh for each fetcher and that this script logged, and it bounds what
// it keeps on its own; the limits here only spare it what it would drop anyway. Which document is loaded, ready
// or being left, the program learns from a script of its own world (page_signals.js), which the page cannot
// reach.
(function () {
    'use strict';
    var MARK = '@MARK@', MAX_TEXT = @MAX_TEXT@, MAX_ANSWERS = @MAX_ANSWERS@;
    var WATCHED = /\/h5\/mtop\.|\/i\/asynSearch\.htm/i, CALLBACK = /[?&]callback=([A-Za-z_$][\w$]*)/;

    // Every built-in used later is taken now, before the page's scripts can replace it: methods and getters are
    // called through Reflect.apply, never looked up on the objects again.
    var reflectApply = Reflect.apply, describe = Object.getOwnPropertyDescriptor, create = Object.create;
    var log = console.log, stringify = JSON.stringify, toText = String, WeakMapOf = WeakMap;
    function method(prototype, name) {
        var f = prototype[name];
        return function (self) {
            var args = [];
            for (var i = 1; i < arguments.length; i++) {
                args[i - 1] = arguments[i];
            }
            return reflectApply(f, self, args);
        };
    }
    function getter(prototype, name) {
        var get = describe(prototype, name).get;
        return function (self) {
            return reflectApply(get, self, []);
        };
    }
    // exec, not test: test looks the regular expression's exec up again.
    var exec = method(RegExp.prototype, 'exec');
    var slice = method(String.prototype, 'slice'), listen = method(EventTarget.prototype, 'addEventListener');
    var mapGet = method(WeakMap.prototype, 'get'), mapSet = method(WeakMap.prototype, 'set');
    var then = method(Promise.prototype, 'then'), promiseCatch = method(Promise.prototype, 'catch');
    var addedNodes = getter(MutationRecord.prototype, 'addedNodes'), nodeName = getter(Node.prototype, 'nodeName');
    var nodeCount = getter(NodeList.prototype, 'length'), nodeAt = method(NodeList.prototype, 'item');
    var scriptSource = getter(HTMLScriptElement.prototype, 'src');
    var xhr = XMLHttpRequest.prototype;
    var responseType = getter(xhr, 'responseType'), responseText = getter(xhr, 'responseText');
    var responseBody = getter(xhr, 'response'), responseStatus = getter(xhr, 'status');
    var responseAddress = getter(xhr, 'responseURL');
    var clone = method(Response.prototype, 'clone'), bodyText = method(Response.prototype, 'text');
    var fetchedOk = getter(Response.prototype, 'ok'), fetchedAddress = getter(Response.prototype, 'url');
    var requestAddress = getter(Request.prototype, 'url');
    var consoleObject = console;
    // Names this document's requests for the program.
    var documentName = toText(Math.random()), next = 0, answered = 0;

    // A message is an object without a prototype, filled by assignment: a page that defines Object.prototype.toJSON
    // or a setter on it cannot change what is sent.
    function tell(kind, id, url, text) {
        try {
            var message = create(null);
            message.k = kind;
            message.d = documentName;
            message.i = id;
            if (url !== undefined) {
                message.u = url;
                message.t = text;
            }
            reflectApply(log, consoleObject, [MARK + stringify(message)]);
        } catch (e) {
        }
    }
    function watched(url) {
        return typeof url === 'string' && exec(WATCHED, url) !== null;
    }
    function start() {
        var id = ++next;
        tell('start', id);
        return id;
    }
    function end(id) {
        tell('end', id);
    }
    function answer(id, url, text) {
        if (typeof text !== 'string') {
            end(id);
            return;
        }
        // One over the limits is named without its text, so that the fetch can say why it read nothing.
        if (text.length > MAX_TEXT || answered >= MAX_ANSWERS) {
            tell('dropped', id, slice(toText(url), 0, 4096));
            return;
        }
        ++answered;
        tell('answer', id, slice(toText(url), 0, 4096), text);
    }

    // JSONP: a script element whose address names its callback. The callback is wrapped as soon as the element
    // is in the document, before its answer can run.
    function watchScript(node) {
        var url = nodeName(node) === 'SCRIPT' ? scriptSource(node) : '';
        if (!watched(url)) {
            return;
        }
        var id = start(), done = false;
        var callback = exec(CALLBACK, url);
        var finish = function () {
            if (!done) {
                done = true;
                end(id);
            }
        };
        if (callback && typeof window[callback[1]] === 'function') {
            var name = callback[1], original = window[name];
            window[name] = function (data) {
                if (!done) {
                    done = true;
                    var text;
                    try {
                        text = stringify(data);
                    } catch (e) {
                    }
                    answer(id, url, text === undefined ? undefined : name + '(' + text + ')');
                }
                return reflectApply(original, this, arguments);
            };
        }
        listen(node, 'load', finish);
        listen(node, 'error', finish);
    }
    new MutationObserver(function (records) {
        for (var r = 0; r < records.length; r++) {
            var nodes = addedNodes(records[r]);
            for (var n = 0, count = nodeCount(nodes); n < count; n++) {
                try {
                    watchScript(nodeAt(nodes, n));
                } catch (e) {
                }
            }
        }
    }).observe(document, {childList: true, subtree: true});

    // XMLHttpRequest and fetch, for pages that ask the same endpoints without JSONP.
    var open = xhr.open, send = xhr.send, asked = new WeakMapOf();
    xhr.open = function (method, url) {
        mapSet(asked, this, toText(url));
        return reflectApply(open, this, arguments);
    };
    xhr.send = function () {
        var request = this, url = mapGet(asked, request);
        if (watched(url)) {
            var id = start();
            listen(request, 'loadend', function () {
                var text, type = responseType(request), status = responseStatus(request);
                try {
                    text = type === '' || type === 'text' ? responseText(request) : stringify(responseBody(request));
                } catch (e) {
                }
                if (status >= 200 && status < 300) {
                    answer(id, responseAddress(request) || url, text);
                } else {
                    end(id);
                }
            });
        }
        return reflectApply(send, request, arguments);
    };
    var fetch = window.fetch;
    window.fetch = function (input) {
        var url;
        try {
            url = requestAddress(input); // a Request
        } catch (e) {
            url = toText(input);
        }
        var result = reflectApply(fetch, this, arguments);
        if (watched(url)) {
            var id = start();
            promiseCatch(then(result, function (response) {
                return then(bodyText(clone(response)), function (text) {
                    if (fetchedOk(response)) {
                        answer(id, fetchedAddress(response) || url, text);
                    } else {
                        end(id);
                    }
                });
            }), function () { end(id); });
        }
        return result;
    };
})();
