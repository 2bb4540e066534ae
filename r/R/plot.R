# The planes on a -log10 p scale (a p-value of a pair is one minus its
# chi-square probability), with the 5 % and 1 % contours; then the histogram
# of the trispectral probabilities against the uniform law of a linear series.
# Square panels: one keeps the caller's layout, two go side by side, three
# on a 2 x 2 grid, so that each fits a 7-inch device.
plot.quorvel <- function(x, which = 1:3, ...) {
  if (!is.numeric(which) || !length(which) || !all(which %in% 1:3)) {
    stop("'which' must hold numbers from 1 to 3 (positive plane, negative plane, histogram)")
  }
  grid <- list(NULL, c(1L, 2L), c(2L, 2L))[[min(length(which), 3L)]]
  old <- par(c(list(pty = "s", mar = c(4, 4, 3, 1), mgp = c(2.5, 0.7, 0)),
               if (!is.null(grid)) list(mfrow = grid)))
  on.exit(par(old))
  for (w in which) {
    if (w == 3) draw.probabilities(x) else draw.plane(x, c("positive", "negative")[w])
  }
  invisible(x)
}

# The plane's pairs on the plotting scale: -log10 p up to `top`; NA for a
# pair that carries no probability (the second frequency above the first, or
# no trifrequency at all), so that such pairs stay blank.
plane.scores <- function(m, top) {
  z <- pmin(-log10(1 - m), top)
  z[col(m) > row(m) | m == 0] <- NA
  z
}

# Tick labels of at most three significant digits.
tick.labels <- function(values) as.character(signif(values, 3))

# One scale for every run: from p = 1 to p = 1e-4 and below.
plane.top <- 4

panel.title <- function(x, what) {
  name <- if (nchar(x$data.name) > 24L) paste0(substr(x$data.name, 1L, 22L), "...") else x$data.name
  paste0(name, ": ", what)
}

draw.plane <- function(x, which) {
  m <- x$planes[[which]]
  n <- nrow(m)
  title <- panel.title(x, if (which == "positive") "k3 > 0" else "k3 < 0")
  if (n == 0L) {
    graphics::plot.new()
    graphics::title(main = title)
    return(invisible())
  }
  z <- plane.scores(m, plane.top)
  colours <- hcl.colors(64, "viridis")
  at <- seq_len(n)
  image(at, at, z, zlim = c(0, plane.top), col = colours, axes = FALSE, main = title,
        xlab = names(dimnames(m))[1], ylab = names(dimnames(m))[2])
  ticks <- unique(round(seq(1, n, length.out = min(n, 5L))))
  axis(1, at = ticks, labels = tick.labels(x$axis[ticks]))
  axis(2, at = ticks, labels = tick.labels(x$axis[ticks]))
  box()
  # Contours need a plane that varies; a dashed thin 5 % line and a solid
  # thick 1 % line tell the levels apart without colour.
  finite <- z[is.finite(z)]
  if (n >= 2L && length(finite) > 1L && diff(range(finite)) > 0) {
    contour(at, at, z, levels = -log10(c(0.05, 0.01)), lty = c(2, 1), lwd = c(1, 2.5), col = "white",
            add = TRUE, drawlabels = FALSE)
  }
  # The key sits in the blank upper-left triangle.
  key <- c(0.5, 0.05, 0.01, 0.001, 1e-4)
  shade <- colours[pmin(length(colours), 1L + floor(-log10(key) / plane.top * length(colours)))]
  legend("topleft", fill = c(shade, NA, NA), border = c(rep("black", 5), NA, NA),
         lty = c(rep(NA, 5), 2, 1), lwd = c(rep(NA, 5), 1, 2.5), col = "grey40",
         legend = c(format(key[-5]), "1e-4 and below", "5 % contour", "1 % contour"),
         title = "p of the pair", bty = "n", cex = 0.6)
}

draw.probabilities <- function(x) {
  p <- pmin(pmax(x$values$probability, 0), 1)
  if (!length(p)) {
    graphics::plot.new()
    graphics::title(main = panel.title(x, "probabilities"))
    return(invisible())
  }
  breaks <- seq(0, 1, by = 0.05)
  heights <- hist(p, breaks = breaks, plot = FALSE)$density
  hist(p, breaks = breaks, freq = FALSE, col = "grey85", xlab = "trispectral probability",
       ylim = c(0, 1.3 * max(1, heights)), main = panel.title(x, "probabilities"))
  abline(h = 1, lty = 2)
  legend("topright", lty = 2, legend = "uniform (linear)", bty = "n", cex = 0.8)
}
