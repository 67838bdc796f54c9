// Runs in the main frame of every document the browser page fetch loads, before the page's own scripts and in
// the page's own world, because the callbacks that receive the marketplace's data answers live there. It hands
// over, through the console, the answers the page's scripts receive from the data endpoints (JSONP, XHR,
// fetch), and nothing else; it gives the page nothing of the program's to call. The program reads only
// messages that start with a mark made fresh for each fetcher and that this script logged, and it bounds what
// it keeps on its own; the limits here only spare it what it would drop anyway.
(function () {
    'use strict';
    var MARK = '@MARK@', MAX_TEXT = @MAX_TEXT@, MAX_ANSWERS = @MAX_ANSWERS@;
    var WATCHED = /\/h5\/mtop\.|\/i\/asynSearch\.htm/i;
    // Kept before the page can replace them.
    var log = console.log.bind(console), stringify = JSON.stringify, apply = Function.prototype.apply;
    var create = Object.create;
    // Names this document, so that the program can tell its requests from those of the document before it.
    var documentName = Math.random().toString(36).slice(2), next = 0, answered = 0;

    // A message is an object without a prototype, filled by assignment: a page that defines Object.prototype.toJSON
    // or a setter on it cannot change what is sent.
    function tell(kind, id, url, text) {
        try {
            var message = create(null);
            message.k = kind;
            message.d = documentName;
            if (id !== undefined) {
                message.i = id;
            }
            if (url !== undefined) {
                message.u = url;
                message.t = text;
            }
            log(MARK + stringify(message));
        } catch (e) {
        }
    }
    function watched(url) {
        return typeof url === 'string' && WATCHED.test(url);
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
        if (typeof text !== 'string' || text.length > MAX_TEXT || answered >= MAX_ANSWERS) {
            end(id);
            return;
        }
        ++answered;
        tell('answer', id, String(url).slice(0, 4096), text);
    }

    tell('document');
    document.addEventListener('DOMContentLoaded', function () { tell('ready'); });
    // The page goes on to another document (a script's redirect to a slider, say): the fetch waits for it.
    window.addEventListener('beforeunload', function () { tell('leaving'); });

    // JSONP: a script element whose address names its callback. The callback is wrapped as soon as the element
    // is in the document, before its answer can run.
    new MutationObserver(function (records) {
        records.forEach(function (record) {
            record.addedNodes.forEach(function (node) {
                if (node.nodeName !== 'SCRIPT' || !watched(node.src)) {
                    return;
                }
                var url = node.src, id = start(), done = false;
                var callback = /[?&]callback=([A-Za-z_$][\w$]*)/.exec(url);
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
                        return apply.call(original, this, arguments);
                    };
                }
                node.addEventListener('load', finish);
                node.addEventListener('error', finish);
            });
        });
    }).observe(document, {childList: true, subtree: true});

    // XMLHttpRequest and fetch, for pages that ask the same endpoints without JSONP.
    var open = XMLHttpRequest.prototype.open, send = XMLHttpRequest.prototype.send, asked = new WeakMap();
    XMLHttpRequest.prototype.open = function (method, url) {
        asked.set(this, String(url));
        return apply.call(open, this, arguments);
    };
    XMLHttpRequest.prototype.send = function () {
        var request = this, url = asked.get(request);
        if (watched(url)) {
            var id = start();
            request.addEventListener('loadend', function () {
                var text;
                try {
                    text = request.responseType === '' || request.responseType === 'text' ? request.responseText
                                                                                          : stringify(request.response);
                } catch (e) {
                }
                if (request.status >= 200 && request.status < 300) {
                    answer(id, request.responseURL || url, text);
                } else {
                    end(id);
                }
            });
        }
        return apply.call(send, request, arguments);
    };
    var fetch = window.fetch;
    window.fetch = function (input) {
        var url = input && typeof input === 'object' && 'url' in input ? String(input.url) : String(input);
        var result = apply.call(fetch, this, arguments);
        if (watched(url)) {
            var id = start();
            result.then(function (response) {
                return response.clone().text().then(function (text) {
                    if (response.ok) {
                        answer(id, response.url || url, text);
                    } else {
                        end(id);
                    }
                });
            }).catch(function () { end(id); });
        }
        return result;
    };
})();
