// The side picture grows from nothing in ten steps; the forward link keeps
// the keyboard focus, so Enter goes on to the next page.
var growStep = 0;
function growPanel() {
    var panel = document.getElementById("panel");
    panel.style.width = "156px";
    panel.style.height = (growStep * 25.9) + "px";
    document.getElementById("q").focus();
    if (growStep < 10) {
        growStep++;
        window.setTimeout(growPanel, 1);
    }
}
window.onload = growPanel;
