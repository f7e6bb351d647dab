// Backspace would go back in the history, Ctrl and Alt keys would reach
// the browser's own commands; only Alt+F4 (closing) is left alone.
function cancelKey(e) {
    e = e || window.event;
    var code = e.keyCode;
    if (code == 8 || (e.altKey && code != 115) || e.ctrlKey) {
        if (e.preventDefault) e.preventDefault();
        e.returnValue = false;
        return false;
    }
    return true;
}
document.onkeydown = cancelKey;
